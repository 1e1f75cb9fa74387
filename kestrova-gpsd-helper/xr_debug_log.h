// The gpsd helper's debug trace on the memory card: one line per message,
// "<program>: <message>", flushed at once. Silent while not open.
#pragma once

#include <cstdio>
#include <string>

class XrDebugLog {
public:
    XrDebugLog() = default;
    XrDebugLog(const XrDebugLog&) = delete;
    XrDebugLog& operator=(const XrDebugLog&) = delete;
    ~XrDebugLog();

    void set_program_name(const std::string& name) { m_name = name; }
    // Opens (and empties) the log; false when it cannot be opened.
    bool open(const std::string& path);
    bool is_open() const { return m_file != nullptr; }

    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string m_name;
    FILE* m_file = nullptr;
};
