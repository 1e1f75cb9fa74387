// A private root for provider tests: HOME and the memory card's map folder
// under a temporary root, the path resolver on that card, and helpers to
// write and read the providers' files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/misc/xr_path_resolver.h"
#include "support/xr_english_texts.h"
#include "support/xr_temp_root.h"

class ProviderFiles {
public:
    // english: the English message catalogue (else none under the root).
    explicit ProviderFiles(bool english = true)
    {
        if (english)
            texts = std::make_unique<EnglishTexts>();
        else {
            // No catalogue at all: every text stays its key.
            own_root = std::make_unique<XrTempRoot>();
            std::filesystem::remove(own_root->dir() + "/usr/share/locale/en/LC_MESSAGES/kestrova.mo");
        }
        const char* home = std::getenv("HOME");
        if (home != nullptr)
            old_home = home;
        setenv("HOME", "/home/user", 1);
        root().make_dirs("/home/user/.kestrova");
        card = root().make_dirs("/media/mmc1/map/mapdata") ;
        card_root = root().dir() + "/media/mmc1/map/";
        wide_card = XrString(card_root.c_str());
        resolver = std::make_unique<XrPathResolver>(wide_card.c_str());
        set_path_resolver(resolver.get());
    }
    ~ProviderFiles()
    {
        set_path_resolver(nullptr);
        if (old_home.empty())
            unsetenv("HOME");
        else
            setenv("HOME", old_home.c_str(), 1);
    }

    const XrTempRoot& root() const { return texts ? texts->root : *own_root; }
    // Full path of a file of the user folder / of the active map folder.
    std::string user_file(const std::string& name) const { return root().dir() + "/home/user/.kestrova/" + name; }
    std::string map_file(const std::string& name) const { return card_root + "mapdata/" + name; }
    void write(const std::string& path, const std::string& content) const
    {
        root().write_file(path.substr(root().dir().size()), content);
    }
    static std::string read(const std::string& path) { return XrTempRoot::read_file(path); }

    std::string card;
    std::string card_root;

private:
    std::unique_ptr<EnglishTexts> texts;
    std::unique_ptr<XrTempRoot> own_root;
    std::string old_home;
    XrString wide_card;
    std::unique_ptr<XrPathResolver> resolver;
};
