#pragma once

// Puts the process into a time zone (the TZ variable) while the object lives,
// and back into the one it had.

#include <cstdlib>
#include <ctime>
#include <string>

class CScopedTimeZone {
public:
    explicit CScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
            m_bHadOld = true;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~CScopedTimeZone() {
        if (m_bHadOld)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    CScopedTimeZone(const CScopedTimeZone&) = delete;
    CScopedTimeZone& operator=(const CScopedTimeZone&) = delete;

private:
    std::string m_old;
    bool m_bHadOld = false;
};
