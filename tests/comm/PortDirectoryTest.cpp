#include "comm/PortDirectory.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

class SavedVariable {
public:
    explicit SavedVariable(const char* name) : m_name(name) {
        if (const char* value = std::getenv(name))
            m_value = std::make_unique<std::string>(value);
    }
    ~SavedVariable() {
        if (m_value)
            setenv(m_name, m_value->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::unique_ptr<std::string> m_value;
};

TEST(PortDirectory, FollowsTheEnvironment) {
    const SavedVariable ports("KESTRUNE_PORTS");
    const SavedVariable config("XDG_CONFIG_HOME");
    const SavedVariable home("HOME");
    setenv("KESTRUNE_PORTS", "/somewhere/ports", 1);
    EXPECT_EQ(KestrunePortDirectory(), "/somewhere/ports");
    unsetenv("KESTRUNE_PORTS");
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(KestrunePortDirectory(), "/cfg/kestrune/ports");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(KestrunePortDirectory(), "/home/someone/.config/kestrune/ports");
}

} // namespace
