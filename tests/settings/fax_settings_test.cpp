#include <gtest/gtest.h>

#include <string>

#include "base/exception.h"
#include "base/module_path.h"
#include "settings/bounded_text.h"
#include "settings/fax_settings.h"
#include "settings/profile.h"
#include "test_support.h"

namespace {

// The settings file in the test's Windows directory; few attempts for the clear.
const SettingsAccess kTest{TestWindowsDirectory, 50};

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Each test gets its own Windows directory and current directory, so relative
// directories the load creates land in the scratch tree.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetTestWindowsDirectory(dir.Path());
        FaxSettings = TFaxSettings{};
        GetCurrentDirectoryA(sizeof savedCwd, savedCwd);
        SetCurrentDirectoryA(dir.Path().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(savedCwd);
        SetTestWindowsDirectory("");
    }
    void WriteIni(const std::string& text) { WriteFileText(dir / "QFSCH.INI", text); }

    TempDir dir;
    char savedCwd[MAX_PATH + 1] = {};
};

}  // namespace

TEST_F(Settings, MissingFileGivesDefaultsAndDerivesFromTheExecutable)
{
    readQFSchINI(kTest);
    const TFaxSettings& s = FaxSettings;
    EXPECT_EQ(s.ProgDir, AsciiUpper(ModuleDirectory()));
    EXPECT_TRUE(EndsWithBackslash(s.ProgDir));
    EXPECT_EQ(s.User, "0001");
    EXPECT_EQ(s.UserNumber, 1);
    EXPECT_EQ(s.Phonebook, "FAXLIST.PB");
    EXPECT_EQ(s.ModemType, 2);
    EXPECT_EQ(s.Resolution, 1);
    EXPECT_EQ(s.GXAPIFileName, "");
    EXPECT_EQ(s.GXAPIResolution, 1);
    EXPECT_FALSE(ClearGXAPIFileName(kTest));
}

TEST_F(Settings, DirectoryLayoutFollowsTheFirstProg)
{
    std::string root = dir.Path() + "\\FAX\\";
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "ADMIN").c_str(), nullptr);
    WriteIni("[Quilfa]\r\nProgDir=" + root + "PROG\\\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.ProgDir, root + "PROG\\");
    EXPECT_EQ(FaxSettings.AdminDir, root + "ADMIN\\");
    EXPECT_EQ(FaxSettings.UsersDir, root + "USERS\\");
    EXPECT_TRUE(IsDirectory(root + "ADMIN\\TEMP"));
    EXPECT_TRUE(IsDirectory(root + "USERS"));

    WriteIni("[Quilfa]\r\nProgDir=" + dir.Path() + "\\PROGRAMS\\FAX\\PROG\\\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.AdminDir, dir.Path() + "\\ADMIN\\");
    EXPECT_FALSE(IsDirectory(dir.Path() + "\\ADMIN")) << "only the last level is created";

    WriteIni("[Quilfa]\r\nProgDir=c:\\fax\\prog\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.ProgDir, "c:\\fax\\prog");
    EXPECT_EQ(FaxSettings.AdminDir, "ADMIN\\");
    EXPECT_EQ(FaxSettings.UsersDir, "USERS\\");
    EXPECT_TRUE(IsDirectory(dir / "USERS")) << "created relative to the current directory";
}

TEST_F(Settings, AdminDirFromTheFileGetsItsBackslash)
{
    CreateDirectoryA((dir / "ADM").c_str(), nullptr);
    WriteIni("[Quilfa]\r\nProgDir=" + dir.Path() + "\\FAX\\PROG\\\r\nAdminDir=" + dir.Path() +
             "\\ADM\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.AdminDir, dir.Path() + "\\ADM\\");
    EXPECT_TRUE(IsDirectory(dir.Path() + "\\ADM\\TEMP"));
    EXPECT_EQ(FaxSettings.UsersDir, dir.Path() + "\\FAX\\USERS\\");
}

TEST_F(Settings, TextFieldsAreCutToTheirMaximumButTheFaxApiFileName)
{
    std::string longDir = "X:\\" + std::string(150, 'd');
    WriteIni("[Quilfa]\r\nProgDir=" + longDir + "\r\nAdminDir=" + std::string(144, 'a') +
             "\r\nPrivateDir=" + longDir +
             "\r\nUser=123456\r\nPhonebook=ABCDEFGHIJKLMN\r\n"
             "[GXAPI]\r\nFileName=" +
             std::string(300, 'g') + "\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.ProgDir, longDir.substr(0, 144));
    EXPECT_EQ(FaxSettings.AdminDir, std::string(144, 'a')) << "no room for the backslash";
    EXPECT_EQ(FaxSettings.PrivateDir, longDir.substr(0, 144));
    EXPECT_EQ(FaxSettings.User, "12345");
    EXPECT_EQ(FaxSettings.UserNumber, 12345);
    EXPECT_EQ(FaxSettings.Phonebook, "ABCDEFGHIJKL");
    // The hand-off deletes and replaces the file it names: never a name cut short.
    EXPECT_EQ(FaxSettings.GXAPIFileName, std::string(300, 'g'));
}

TEST_F(Settings, IntegerKeysFallBackToTheirDefaults)
{
    struct Case {
        const char* modem;
        const char* resolution;
        int modemType;
        int res;
    };
    for (Case c : {Case{"1", "0x10", 2, 16}, Case{"2", "0x", 2, 1}, Case{"fax", "$1F", 2, 31},
                   Case{"7", " 7", 7, 7}}) {
        WriteIni(std::string("[Quilfa]\r\nModemType=") + c.modem + "\r\n[Options]\r\nResolution=" +
                 c.resolution + "\r\n[GXAPI]\r\nResolution=0x20\r\n");
        readQFSchINI(kTest);
        EXPECT_EQ(FaxSettings.ModemType, c.modemType) << c.modem;
        EXPECT_EQ(FaxSettings.Resolution, c.res) << c.resolution;
        EXPECT_EQ(FaxSettings.GXAPIResolution, 32);
    }
}

TEST_F(Settings, BadUserStopsTheLoadHalfway)
{
    WriteIni("[Quilfa]\r\nProgDir=" + dir.Path() +
             "\\FAX\\PROG\\\r\nPrivateDir=P1\\\r\n"
             "[GXAPI]\r\nFileName=first.tif\r\n");
    readQFSchINI(kTest);
    CreateDirectoryA((dir / "NEW").c_str(), nullptr);
    WriteIni("[Quilfa]\r\nProgDir=" + dir.Path() +
             "\\NEW\\PROG\\\r\nUser=\r\nPrivateDir=P2\\\r\n"
             "[GXAPI]\r\nFileName=second.tif\r\n");
    try {
        readQFSchINI(kTest);
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
    EXPECT_EQ(FaxSettings.ProgDir, dir.Path() + "\\NEW\\PROG\\");
    EXPECT_EQ(FaxSettings.User, "");
    EXPECT_EQ(FaxSettings.PrivateDir, "P1\\");
    EXPECT_EQ(FaxSettings.GXAPIFileName, "first.tif");
    EXPECT_TRUE(IsDirectory(dir.Path() + "\\NEW\\USERS"));

    WriteIni("[Quilfa]\r\nUser=12x\r\n");
    EXPECT_THROW(readQFSchINI(kTest), Exception);
}

TEST_F(Settings, NoWindowsDirectoryChangesNothing)
{
    SetTestWindowsDirectory("");
    FaxSettings.ProgDir = "preset\\";
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.ProgDir, "preset\\");
    EXPECT_EQ(FaxSettings.User, "");
    EXPECT_FALSE(ClearGXAPIFileName(kTest));
}

TEST_F(Settings, ClearEmptiesTheKeyButKeepsIt)
{
    WriteIni("[GXAPI]\r\nFileName=C:\\out\\fax.tif\r\nResolution=2\r\n");
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.GXAPIFileName, "C:\\out\\fax.tif");
    EXPECT_TRUE(ClearGXAPIFileName(kTest));
    EXPECT_EQ(FaxSettings.GXAPIFileName, "C:\\out\\fax.tif") << "memory changes at the next load";
    std::string text = ReadFileText(dir / "QFSCH.INI");
    EXPECT_NE(text.find("FileName=\r\n"), std::string::npos) << text;
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.GXAPIFileName, "");
    EXPECT_EQ(FaxSettings.GXAPIResolution, 2);
}

TEST_F(Settings, ClearGivesUpWhileAnotherProcessHoldsTheFile)
{
    WriteIni("[GXAPI]\r\nFileName=C:\\out\\fax.tif\r\n");
    readQFSchINI(kTest);
    {
        HeldOpenFile held(dir / "QFSCH.INI");
        EXPECT_FALSE(ClearGXAPIFileName(kTest));
    }
    readQFSchINI(kTest);
    EXPECT_EQ(FaxSettings.GXAPIFileName, "C:\\out\\fax.tif");
    EXPECT_TRUE(ClearGXAPIFileName(kTest));
}

TEST(Profile, LongValuesAreReadWhole)
{
    TempDir dir;
    std::string value(3000, 'v');
    WriteProfileText(dir / "long.ini", "S", "K", value + "w");
    EXPECT_EQ(ReadProfileText(dir / "long.ini", "S", "K", ""), value + "w");
}
