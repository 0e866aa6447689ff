#include "PdfText.h"
#include "support/DialogTestSupport.h"
#include "support/TempDir.h"

#include "framework/gui/drawing/DC.h"
#include "framework/gui/printing/PrintInfo.h"
#include "print/printer.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QPrinter>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kFrenchSource = "/usr/share/i18n/locales/fr_FR";

// French locales compiled for the test into a folder of its own (LOCPATH), so that nothing depends on the
// locales the machine happens to have: one in UTF-8, one in Latin-1.
class FrenchLocaleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<TempDir>();
        if (::access(kFrenchSource, R_OK) != 0 || std::system("command -v localedef >/dev/null 2>&1") != 0) {
            s_skip = "localedef or the fr_FR locale source is not installed (Debian package locales)";
            return;
        }
        for (const char* charmap : {"UTF-8", "ISO-8859-1"}) {
            const std::string command = std::string("localedef -i fr_FR -f ") + charmap + " '" +
                                        s_dir->file(std::string("fr_FR.") + charmap) + "' >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0)
                s_skip = std::string("localedef could not build fr_FR.") + charmap;
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        m_saved = std::setlocale(LC_ALL, nullptr);
        ::setenv("LOCPATH", s_dir->path().c_str(), 1);
    }
    void TearDown() override {
        if (!m_saved.empty())
            std::setlocale(LC_ALL, m_saved.c_str());
        ::unsetenv("LOCPATH");
    }

    // Makes the locale current as the program does at start-up; false when it cannot be loaded.
    static bool Use(const char* name) { return std::setlocale(LC_ALL, name) != nullptr; }

    static struct tm EighthOfDecember() {
        struct tm when {};
        when.tm_year = 2026 - 1900;
        when.tm_mon = 11;
        when.tm_mday = 8;
        when.tm_hour = 18;
        when.tm_min = 5;
        when.tm_wday = 2;
        return when;
    }

    static std::unique_ptr<TempDir> s_dir;
    static std::string s_skip;
    std::string m_saved;
};

std::unique_ptr<TempDir> FrenchLocaleTest::s_dir;
std::string FrenchLocaleTest::s_skip;

TEST_F(FrenchLocaleTest, EditionDateIsUtf8WhateverTheLocalesEncoding) {
    for (const char* name : {"fr_FR.UTF-8", "fr_FR.ISO-8859-1"}) {
        ASSERT_TRUE(Use(name)) << name;
        EXPECT_EQ("mardi, d\xC3\xA9"
                  "cembre 08, 2026 - 18:05",
                  FormatEditionDate("", EighthOfDecember()))
            << name;
    }
}

TEST_F(FrenchLocaleTest, FootnotePrintsTheFrenchDateUngarbled) {
    EnsureDialogTestApplication();
    for (const char* name : {"fr_FR.UTF-8", "fr_FR.ISO-8859-1"}) {
        ASSERT_TRUE(Use(name)) << name;
        TempDir dir;
        const std::string path = dir.file("footnote.pdf");
        QPrinter device(QPrinter::HighResolution);
        device.setOutputFormat(QPrinter::PdfFormat);
        device.setOutputFileName(QString::fromStdString(path));
        device.setResolution(300);
        QPainter painter(&device);
        CDC dc;
        dc.SetOutput(&painter);
        dc.SetAttribDevice(&device);
        CPrintInfo info;
        CPrinter printer(&dc, &info);
        printer.SetPrinterCaps();
        // Today's month name as the locale spells it, and text of the locale's own encoding around it, so
        // that the footnote holds accented letters whatever the month.
        const std::string accented = std::string(name) == "fr_FR.UTF-8" ? "\xC3\xA9t\xC3\xA9" : "\xE9t\xE9";
        printer.m_DateTimeFormat = "%B " + accented;
        printer.PageFootNote();
        painter.end();

        const std::time_t now = std::time(nullptr);
        struct tm local {};
        localtime_r(&now, &local);
        const std::string month = FormatEditionDate("%B", local);
        const std::string text = PdfText(path);
        EXPECT_NE(std::string::npos, text.find("Edition: " + month + " \xC3\xA9t\xC3\xA9"))
            << name << ": " << text;
    }
}

} // namespace
