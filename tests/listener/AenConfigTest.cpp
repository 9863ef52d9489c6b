#include "AenTestSupport.h"

#include "listener/AenConfig.h"
#include "listener/AenDaemon.h"
#include "listener/PlugInManager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using aentest::AenDaemonTest;

TEST(AenScramble, KeyLetterChangesEveryFourBytesAndWraps)
{
    char field[13];
    std::memset(field, 0, sizeof field);
    char* result = nullptr;
    EXPECT_EQ(decryption(field, result, sizeof field), 1);
    EXPECT_EQ(result, field);
    // Zero bytes show the key letter each one was XORed with.
    EXPECT_EQ(std::string(field, sizeof field), "QQQQJJJJXXXXQ");

    char five[] = {'h', 'o', 's', 't', '1'};
    decryption(five, result, 5);
    EXPECT_EQ(five[0], 'h' ^ 'Q');
    EXPECT_EQ(five[3], 't' ^ 'Q');
    EXPECT_EQ(five[4], '1' ^ 'J');
}

TEST(AenScramble, TwiceGivesTheBytesBackAndEmptyStaysEmpty)
{
    std::string text = "192.0.2.20 and a longer password!";
    const std::string original = text;
    char* result = nullptr;
    decryption(&text[0], result, static_cast<int>(text.size()));
    EXPECT_NE(text, original);
    decryption(&text[0], result, static_cast<int>(text.size()));
    EXPECT_EQ(text, original);

    char untouched[] = "x";
    EXPECT_EQ(decryption(untouched, result, 0), 1);
    EXPECT_STREQ(untouched, "x");
}

class AenSettingsTest : public AenDaemonTest {};

TEST_F(AenSettingsTest, ListenerPortFromTheSettingsFile)
{
    struct Case {
        const char* content;
        int result;
        unsigned port;
    };
    const Case cases[] = {
        {"EVENT_LISTENER_PORT=5990\n", 0, 5990},
        {"SMTP_SERVER=mail\nEVENT_LISTENER_PORT=5990\nEVENT_LISTENER_PORT=6001\n", 0, 6001},
        {"EVENT_LISTENER_PORT=5990abc\n", 0, 5990},
        {"EVENT_LISTENER_PORT=59901234567\n", 0, 5990123},
        {"EVENT_LISTENER_PORT=5990", 0, 5990},
        {"EVENT_LISTENER_PORT = 5990\n", 1, 0},
        {" EVENT_LISTENER_PORT=5990\n", 1, 0},
        {"#EVENT_LISTENER_PORT=5990\n", 1, 0},
        {"EVENT_LISTENER_PORT\n", 1, 0},
        {"", 1, 0},
    };
    for (const Case& c : cases) {
        writeInstallFile("aen.conf", c.content);
        unsigned port = 0;
        EXPECT_EQ(readAenConfigFile(&port), c.result) << c.content;
        EXPECT_EQ(port, c.port) << c.content;
    }
    EXPECT_TRUE(logHas("readAenConfigFile::ERROR_: AenDaemon listening port  not found!! Can not continue."));
    EXPECT_TRUE(logHas("readAenConfigFile::DEBUG : Attribute = EVENT_LISTENER_PORT Value = 5990"));
}

TEST_F(AenSettingsTest, MissingPiecesFailWithTheirOwnMessages)
{
    unsigned port = 0;
    EXPECT_EQ(readAenConfigFile(&port), 1);
    EXPECT_TRUE(logHas("readAenConfigFile:: Opening config File (" + installDir() + "aen.conf) failed"));

    ::unsetenv("CONFIG_FILE_SMTP");
    EXPECT_EQ(readAenConfigFile(&port), 1);
    EXPECT_TRUE(logHas("smtp config file name not defined"));

    ::setenv("CONFIG_FILE_SMTP", std::string(300, 'n').c_str(), 1);
    EXPECT_EQ(readAenConfigFile(&port), 1);

    ::unsetenv("VYNCONF_PATH");
    EXPECT_EQ(readAenConfigFile(&port), 1);
    EXPECT_TRUE(logHas("VYNCONF_PATH is not set"));
    EXPECT_TRUE(logHas("readAenConfigFile::Logger config file string size exceeding"));
}

TEST_F(AenSettingsTest, OverlongInstallDirectoryIsRefused)
{
    ::setenv("VYNCONF_PATH", ("/" + std::string(300, 'd') + "/").c_str(), 1);
    char dir[AEN_PATH_SIZE];
    EXPECT_EQ(vynInstallPath(dir, sizeof dir), 1);
    EXPECT_STREQ(dir, "");
    EXPECT_TRUE(logHas("VYNCONF_PATH is not set"));
}

TEST_F(AenSettingsTest, JoinedPathsMustFitTheirBuffers)
{
    // Install directory and file name share 255 characters: one more and
    // each reader refuses with its own line instead of building the path.
    struct Case {
        const char* what;
        std::string fileName;
        std::function<int()> read;
        std::string refused;  // logged when the joined path does not fit
        std::string tried;    // logged when it fits (the directory is absent)
    };
    const std::vector<Case> cases = {
        {"settings", "aen.conf", [] { unsigned port = 0; return readAenConfigFile(&port); },
         "readAenConfigFile::Logger config file string size exceeding", "Using smtp config file "},
        {"plug-in list", "PlugInConfig.txt", [] { return AenDaemonLoadPlugIn(); },
         "Logger Plugin Path Name string size exceeding", "Failed to read config file "},
        {"credentials", "VMCIMOMConfig.txt",
         [] {
             char host[AEN_CREDENTIAL_SIZE], user[AEN_CREDENTIAL_SIZE], password[AEN_CREDENTIAL_SIZE];
             int port = 0;
             unsigned listenerPort = 0;
             const int result = getVMCIMOMDetails(host, user, password, &port, &listenerPort);
             if (gAenConfig.ConfigFileFd >= 0)
                 ::close(gAenConfig.ConfigFileFd);
             gAenConfig.ConfigFileFd = -1;
             return result;
         },
         "VM config file not found.", "Could not open file "},
    };
    for (const Case& c : cases) {
        for (const std::size_t joined : {std::size_t{255}, std::size_t{256}}) {
            SCOPED_TRACE(std::string(c.what) + " " + std::to_string(joined));
            std::remove(hostFile("/var/log/vynlistend.log").c_str());
            // An absent directory inside the test's own root.
            const std::string head = root() + "/";
            const std::string dir = head + std::string(joined - c.fileName.size() - head.size() - 1, 'd') + "/";
            ::setenv("VYNCONF_PATH", dir.c_str(), 1);
            EXPECT_EQ(c.read(), 1);
            if (joined == 255) {
                EXPECT_TRUE(logHas(c.tried + dir + c.fileName));
            } else {
                EXPECT_TRUE(logHas(c.refused));
                EXPECT_FALSE(logHas(c.tried));
            }
        }
    }
}

class AenCredentialTest : public AenDaemonTest {
protected:
    struct Details {
        char host[AEN_CREDENTIAL_SIZE] = {};
        char user[AEN_CREDENTIAL_SIZE] = {};
        char password[AEN_CREDENTIAL_SIZE] = {};
        int port = 0;
        unsigned listenerPort = 0;
    };
    int read(Details& d) { return getVMCIMOMDetails(d.host, d.user, d.password, &d.port, &d.listenerPort); }
};

TEST_F(AenCredentialTest, ReadsTheFourFieldsAndHidesThePassword)
{
    writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=5990\n");
    writeInstallFile("VMCIMOMConfig.txt", credentialFile("192.0.2.20", "5989", "root", "s3cret!pw"));
    Details d;
    ASSERT_EQ(read(d), 0);
    EXPECT_STREQ(d.host, "192.0.2.20");
    EXPECT_EQ(d.port, 5989);
    EXPECT_STREQ(d.user, "root");
    EXPECT_STREQ(d.password, "s3cret!pw");
    EXPECT_EQ(d.listenerPort, 5990u);
    EXPECT_TRUE(logHas("ESX credentials:: 192.0.2.20 : 5989 : root : ****"));
    EXPECT_FALSE(logHas("s3cret!pw"));
    EXPECT_TRUE(logHas("AenDaemon listner port number = 5990"));

    // The daemon holds an exclusive lock on the file while it runs.
    ASSERT_GE(gAenConfig.ConfigFileFd, 0);
    const int other = ::open((installDir() + "VMCIMOMConfig.txt").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(AenCredentialTest, EmptyFieldGivesAnEmptyText)
{
    writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=5990\n");
    writeInstallFile("VMCIMOMConfig.txt", credentialFile("192.0.2.20", "5989", "", "pw"));
    Details d;
    std::memset(d.user, 'z', sizeof d.user);
    ASSERT_EQ(read(d), 0);
    EXPECT_STREQ(d.user, "");
    EXPECT_STREQ(d.password, "pw");
}

TEST_F(AenCredentialTest, MalformedFilesReturnOne)
{
    writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=5990\n");
    const std::string good = credentialFile("127.0.0.1", "5989", "user", "pass");
    struct Case {
        const char* what;
        std::string content;
    };
    std::string longLength = good;
    longLength[0] = static_cast<char>(200);  // host claims 200 bytes
    std::string hugeLength = good;
    hugeLength[3] = static_cast<char>(0x80);  // about 2 GiB
    const Case cases[] = {
        {"empty", ""},
        {"cut inside a length", good.substr(0, 2)},
        {"cut inside the password", good.substr(0, good.size() - 2)},
        {"length beyond the file", longLength},
        {"huge length", hugeLength},
        {"port over seven bytes", credentialFile("h", "12345678", "u", "p")},
        {"file over 255 bytes", credentialFile("h", "1", "u", std::string(260, 'p'))},
    };
    for (const Case& c : cases) {
        writeInstallFile("VMCIMOMConfig.txt", c.content);
        Details d;
        EXPECT_EQ(read(d), 1) << c.what;
        ::close(gAenConfig.ConfigFileFd);
        gAenConfig.ConfigFileFd = -1;
    }
    EXPECT_TRUE(logHas("VM config file not found."));
}

TEST_F(AenCredentialTest, AMissingFileIsCreatedPrivateAndFails)
{
    writeInstallFile("aen.conf", "EVENT_LISTENER_PORT=5990\n");
    const mode_t previous = ::umask(0);
    Details d;
    EXPECT_EQ(read(d), 1);
    ::umask(previous);
    struct stat st;
    ASSERT_EQ(::stat((installDir() + "VMCIMOMConfig.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_TRUE(logHas("Opened the file " + installDir() + "VMCIMOMConfig.txt for reading and locked it."));
}

TEST_F(AenCredentialTest, NoListenerPortFails)
{
    writeInstallFile("VMCIMOMConfig.txt", credentialFile("h", "1", "u", "p"));
    Details d;
    EXPECT_EQ(read(d), 1);
    EXPECT_TRUE(logHas("Not able to get the listener port number."));
}

TEST_F(AenCredentialTest, InstallDirectoryWithoutSlashIsJoinedAsItIs)
{
    const std::string dir = installDir().substr(0, installDir().size() - 1);
    ::setenv("VYNCONF_PATH", dir.c_str(), 1);
    vyntest::writeFile(dir + "aen.conf", "EVENT_LISTENER_PORT=7000\n");
    vyntest::writeFile(dir + "VMCIMOMConfig.txt", credentialFile("h", "1", "u", "p"));
    Details d;
    EXPECT_EQ(read(d), 0);
    EXPECT_EQ(d.listenerPort, 7000u);
}

}  // namespace
