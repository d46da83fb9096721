#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/configuration.h"
#include "db/connection_string.h"
#include "support/temp_dir.h"

namespace telvano::core {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

std::string MissingKeyOf(const std::string& path) {
  try {
    LoadConfiguration(path);
  } catch (const RegistryError& error) {
    EXPECT_STREQ(error.what(), "Nema kljuceva u registry-ju!\n\nThere are no keys in the registry!");
    return error.MissingKey();
  }
  return "(no error)";
}

TEST(Configuration, ValuesAndTheSevenFolders) {
  TempDir dir;
  WriteFileBytes(dir / "TELVANO.conf",
                 "Appl_Root=/opt/telvano\nDB_Fullname=/srv/data/fb.fdb\nExchange_Root=/srv/ExchData\n"
                 "CodePage=windows-1250\nDB_Password=x\nPrintFileDir=/srv/prints\n");
  const Configuration c = LoadConfiguration(dir / "TELVANO.conf");
  EXPECT_EQ(c.Appl_Root, "/opt/telvano");
  EXPECT_EQ(c.CodePage, "windows-1250");
  EXPECT_EQ(c.DB_Password, "x");
  EXPECT_EQ(c.PrintFileDir, "/srv/prints");
  EXPECT_EQ(c.ApplDataDir, "/opt/telvano/ApplData");
  EXPECT_EQ(c.LogsDir, "/opt/telvano/Logs");
  EXPECT_EQ(c.CertificateDir, "/srv/data/Certificate");  // follows the database, not Appl_Root
  EXPECT_EQ(c.RunTimeDir, "/opt/telvano/RunTime");
  EXPECT_EQ(c.InputDir, "/srv/ExchData/SDC_Inp");
  EXPECT_EQ(c.OutputDir, "/srv/ExchData/SDC_Out");
  EXPECT_EQ(c.ArchiveDir, "/srv/ExchData/Archive");
  EXPECT_EQ(c.ProgramVersion, "r10.0.023");
}

// DB_Fullname taken apart, and the folder that CertificateDir and the backups follow.
TEST(Configuration, EveryFormOfConnectionStringGivesHostPortPathAndFolder) {
  // text, then "host|port|path|on this machine|folder"
  const std::pair<const char*, const char*> cases[] = {
      {"/srv/data/fb.fdb", "||/srv/data/fb.fdb|1|/srv/data"},
      {"fb.fdb", "||fb.fdb|1|."},
      {"/fb.fdb", "||/fb.fdb|1|"},  // joins as "/Certificate"
      {"dbhost:/srv/data/fb.fdb", "dbhost||/srv/data/fb.fdb|0|/srv/data"},
      {"localhost/3051:/var/lib/telvano/TELVANO.FDB", "localhost|3051|/var/lib/telvano/TELVANO.FDB|1|/var/lib/telvano"},
      {"db.shop.rs/gds_db:/srv/fb.fdb", "db.shop.rs|gds_db|/srv/fb.fdb|0|/srv"},
      {"LOCALHOST:telvano", "LOCALHOST||telvano|1|."},  // an alias: which file it is only the server knows
      {"127.0.0.1:/srv/fb.fdb", "127.0.0.1||/srv/fb.fdb|1|/srv"},
      {"[::1]:/srv/fb.fdb", "::1||/srv/fb.fdb|1|/srv"},
      {"[2001:db8::5]/3049:/srv/fb.fdb", "2001:db8::5|3049|/srv/fb.fdb|0|/srv"},
      {"inet://dbhost:3051//srv/data/fb.fdb", "dbhost|3051|/srv/data/fb.fdb|0|/srv/data"},
      {"inet6://[::1]:3050//srv/fb.fdb", "::1|3050|/srv/fb.fdb|1|/srv"},
      {"INET:///srv/data/fb.fdb", "localhost||/srv/data/fb.fdb|1|/srv/data"},
      {"inet://telvano", "localhost||telvano|1|."},
      {"C:/data/fb.fdb", "C||/data/fb.fdb|0|/data"},  // no drive letters on Linux
      // Not a host before the colon: the whole text is a path.
      {"/srv/a:b/fb.fdb", "||/srv/a:b/fb.fdb|1|/srv/a:b"},
      {"my host:/fb.fdb", "||my host:/fb.fdb|1|my host:"},
      {"[::1:/fb.fdb", "||[::1:/fb.fdb|1|[::1:"},
      {"dbhost:", "||dbhost:|1|."},
  };
  for (const auto& [text, expected] : cases) {
    const db::ConnectionString read = db::ReadConnectionString(text);
    EXPECT_EQ(read.host + "|" + read.port + "|" + read.path + "|" + (read.OnThisMachine() ? "1" : "0") + "|" +
                  DatabaseFolder(text),
              expected)
        << text;
  }
}

TEST(Configuration, RegistryErrorForAMissingFileOrEmptyValuesInTheirOrder) {
  TempDir dir;
  EXPECT_EQ(MissingKeyOf(dir / "absent.conf"), "Appl_Root");

  WriteFileBytes(dir / "a.conf", "Appl_Root=\nDB_Fullname=\nExchange_Root=\n");
  EXPECT_EQ(MissingKeyOf(dir / "a.conf"), "Appl_Root");
  WriteFileBytes(dir / "b.conf", "Appl_Root=/a\nExchange_Root=\n");
  EXPECT_EQ(MissingKeyOf(dir / "b.conf"), "DB_Fullname");  // checked before Exchange_Root
  WriteFileBytes(dir / "c.conf", "Appl_Root=/a\nDB_Fullname=/d/fb.fdb\nExchange_Root=   \n");
  EXPECT_EQ(MissingKeyOf(dir / "c.conf"), "Exchange_Root");
  EXPECT_EQ(MissingKeyOf(dir.Path().string()), "Appl_Root");  // a folder is no configuration file
}

TEST(Configuration, OddFilesGiveWarningsNotCrashes) {
  TempDir dir;
  WriteFileBytes(
      dir / "odd.conf",
      "\xEF\xBB\xBF# comment\r\n; another\r\n\r\n  appl_root = /opt/t  \r\njust words\r\n=novalue\r\n"
      "Colour=blue\r\nDB_Fullname=/d/fb.fdb\r\nExchange_Root=/x=y\r\n\x01\x02\xFF\r\nCodePage=");
  std::string warnings;
  const Configuration c = LoadConfiguration(dir / "odd.conf", &warnings);
  EXPECT_EQ(c.Appl_Root, "/opt/t");    // keys without regard to case, blanks trimmed
  EXPECT_EQ(c.Exchange_Root, "/x=y");  // only the first "=" separates
  EXPECT_EQ(c.CodePage, "UTF-8");      // an empty code page means the default
  EXPECT_NE(warnings.find("line 5: no \"=\""), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("line 6: no key"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("line 7: unknown key \"Colour\""), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("line 10:"), std::string::npos) << warnings;
  EXPECT_EQ(warnings.find("line 1:"), std::string::npos) << warnings;  // the comment after the BOM is fine

  std::string missing;
  EXPECT_THROW(LoadConfiguration(dir / "none.conf", &missing), RegistryError);
  EXPECT_NE(missing.find("does not exist"), std::string::npos);
}

TEST(Configuration, AnUnknownCodePageFallsBackToUtf8WithAWarning) {
  TempDir dir;
  WriteFileBytes(dir / "cp.conf",
                 "Appl_Root=/a\nDB_Fullname=/d/fb.fdb\nExchange_Root=/x\nCodePage=klingon-42\n");
  std::string warnings;
  EXPECT_EQ(LoadConfiguration(dir / "cp.conf", &warnings).CodePage, "UTF-8");
  EXPECT_NE(warnings.find("unknown code page \"klingon-42\""), std::string::npos) << warnings;
}

TEST(Configuration, TheApiKeysAndItsWaitWithinItsRange) {
  TempDir dir;
  const std::string base = "Appl_Root=/a\nDB_Fullname=/d/fb.fdb\nExchange_Root=/x\n";
  WriteFileBytes(dir / "api.conf", base + "ApiListen=127.0.0.1:8585\napitokenfile=/a/token\n"
                                   "ApiOrigins=http://pos:8080\nApiWaitSeconds=30\n");
  std::string warnings;
  const Configuration c = LoadConfiguration(dir / "api.conf", &warnings);
  EXPECT_EQ(warnings, "");
  EXPECT_EQ(c.ApiListen, "127.0.0.1:8585");
  EXPECT_EQ(c.ApiTokenFile, "/a/token");
  EXPECT_EQ(c.ApiOrigins, "http://pos:8080");
  EXPECT_EQ(ApiWaitSeconds(c), 30);
  for (const char* wrong : {"0", "301", "ten"}) {
    WriteFileBytes(dir / "wait.conf", base + "ApiWaitSeconds=" + wrong + "\n");
    warnings.clear();
    EXPECT_EQ(ApiWaitSeconds(LoadConfiguration(dir / "wait.conf", &warnings)), 10) << wrong;
    EXPECT_NE(warnings.find("ApiWaitSeconds"), std::string::npos) << wrong;
  }
}

TEST(Configuration, RegistryPathFromTheEnvironment) {
  const char* saved = std::getenv("TELVANO_REGISTRY");
  const std::string previous = saved != nullptr ? saved : "";
  ::unsetenv("TELVANO_REGISTRY");
  EXPECT_EQ(RegistryPath(), "/etc/xdg/Dravicor/TELVANO.conf");
  ::setenv("TELVANO_REGISTRY", "", 1);
  EXPECT_EQ(RegistryPath(), "/etc/xdg/Dravicor/TELVANO.conf");
  ::setenv("TELVANO_REGISTRY", "/tmp/t.conf", 1);
  EXPECT_EQ(RegistryPath(), "/tmp/t.conf");
  if (saved != nullptr) {
    ::setenv("TELVANO_REGISTRY", previous.c_str(), 1);
  } else {
    ::unsetenv("TELVANO_REGISTRY");
  }
}

}  // namespace
}  // namespace telvano::core
