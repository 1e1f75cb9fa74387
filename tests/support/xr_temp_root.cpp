#include "support/xr_temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

std::string XrTempRoot::stage_dir()
{
    const char* s = std::getenv("XR_STAGE_DIR");
    return (s != nullptr && *s != '\0') ? std::string(s) : std::string(XR_STAGE_DIR_DEFAULT);
}

XrTempRoot::XrTempRoot()
{
    std::string templ = (fs::temp_directory_path() / "xr-root-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_dir = templ;
    if (const char* old = std::getenv("KESTROVA_ROOT")) {
        m_had_root = true;
        m_old_root = old;
    }
    setenv("KESTROVA_ROOT", m_dir.c_str(), 1);

    // Install the compiled catalogues as the program's package would.
    fs::path locale = fs::path(stage_dir()) / "usr/share/locale";
    if (fs::exists(locale)) {
        fs::create_directories(m_dir + "/usr/share");
        fs::copy(locale, m_dir + "/usr/share/locale", fs::copy_options::recursive);
    }
}

XrTempRoot::~XrTempRoot()
{
    if (m_had_root)
        setenv("KESTROVA_ROOT", m_old_root.c_str(), 1);
    else
        unsetenv("KESTROVA_ROOT");
    std::error_code ec;
    fs::remove_all(m_dir, ec);
}

std::string XrTempRoot::make_dirs(const std::string& absolute) const
{
    std::string p = m_dir + absolute;
    fs::create_directories(p);
    return p;
}

std::string XrTempRoot::write_file(const std::string& absolute, const std::string& content) const
{
    fs::path p = m_dir + absolute;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + p.string());
    return p.string();
}

std::string XrTempRoot::read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
