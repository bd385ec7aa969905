#include "conformance_cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace conformance {

using namespace platform;

bool Applies(const Case& c, WindowsFamily family) {
  return c.family == Family::kAny || (c.family == Family::k95) == (family == WindowsFamily::k95);
}

namespace {

// ---- helpers ----

const std::uint8_t* Bytes(const char* text) {
  return reinterpret_cast<const std::uint8_t*>(text);
}

std::uint32_t SetString(Registry& reg, HKey key, const char* name, const char* text) {
  return reg.SetValue(key, name, kRegSz, Bytes(text), std::uint32_t(std::strlen(text) + 1));
}

HKey Create(Env& env, const char* path) {
  HKey key = 0;
  EXPECT_EQ(env.os.registry->CreateKey(env.scratchKey, path, &key), kErrorSuccess) << path;
  return key;
}

void PutFile(Env& env, const std::string& name, const std::string& text) {
  FileSystem& files = *env.os.files;
  FileHandle h = files.OpenFile(env.Path(name).c_str(), OpenMode::kCreateAlways);
  ASSERT_NE(h, kInvalidFileHandle) << name;
  std::uint32_t written = 0;
  EXPECT_TRUE(files.WriteFile(h, text.data(), std::uint32_t(text.size()), &written));
  files.CloseFile(h);
}

std::string FileText(Env& env, const std::string& path) {
  FileSystem& files = *env.os.files;
  FileHandle h = files.OpenFile(path.c_str(), OpenMode::kRead);
  if (h == kInvalidFileHandle) return "<missing>";
  std::string text(std::size_t(files.GetFileSize(h)), '\0');
  std::uint32_t read = 0;
  files.ReadFile(h, text.data(), std::uint32_t(text.size()), &read);
  files.CloseFile(h);
  return text;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// ---- registry ----

void OpenMissingKey(Env& env) {
  HKey key = kSentinel;
  EXPECT_EQ(env.os.registry->OpenKey(env.scratchKey, "NoSuchKey", &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
}

void OpenWithoutSubkey(Env& env) {
  Registry& reg = *env.os.registry;
  HKey same = kSentinel;
  EXPECT_EQ(reg.OpenKey(kHkeyCurrentUser, nullptr, &same), kErrorSuccess);
  EXPECT_EQ(same, kHkeyCurrentUser);
  EXPECT_EQ(reg.OpenKey(kHkeyCurrentUser, "", &same), kErrorSuccess);
  EXPECT_EQ(same, kHkeyCurrentUser);
  HKey fresh = kSentinel;
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "", &fresh), kErrorSuccess);
  EXPECT_NE(fresh, env.scratchKey);
  EXPECT_NE(fresh, HKey(kSentinel));
  reg.CloseKey(fresh);
}

void OpenPathForms(Env& env) {
  Registry& reg = *env.os.registry;
  reg.CloseKey(Create(env, "Sub"));
  HKey key = kSentinel;
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "\\Sub", &key), kErrorBadPathname);
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "Sub\\", &key), kErrorSuccess);
  reg.CloseKey(key);
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "Sub", nullptr), kErrorInvalidParameter);
}

void NamesIgnoreCase(Env& env) {
  Registry& reg = *env.os.registry;
  reg.CloseKey(Create(env, "MixedCase"));
  HKey key = kSentinel;
  ASSERT_EQ(reg.OpenKey(env.scratchKey, "MIXEDCASE", &key), kErrorSuccess);
  EXPECT_EQ(SetString(reg, key, "ValueName", "one"), kErrorSuccess);
  EXPECT_EQ(SetString(reg, key, "VALUENAME", "two"), kErrorSuccess);
  char data[16] = {};
  std::uint32_t size = sizeof data, type = kSentinel;
  EXPECT_EQ(reg.QueryValue(key, "valuename", &type, reinterpret_cast<std::uint8_t*>(data), &size),
            kErrorSuccess);
  EXPECT_STREQ(data, "two");
  char name[32];
  std::uint32_t nameSize = sizeof name;
  EXPECT_EQ(reg.EnumValue(key, 0, name, &nameSize, nullptr, nullptr, nullptr), kErrorSuccess);
  EXPECT_STREQ(name, "ValueName");
  EXPECT_EQ(reg.EnumValue(key, 1, name, &nameSize, nullptr, nullptr, nullptr), kErrorNoMoreItems);
  reg.CloseKey(key);
  nameSize = sizeof name;
  EXPECT_EQ(reg.EnumKey(env.scratchKey, 0, name, &nameSize), kErrorSuccess);
  EXPECT_STREQ(name, "MixedCase");
  EXPECT_EQ(nameSize, 9u);
}

void ValuesKeepCreationOrderAfterDeletion(Env& env) {
  Registry& reg = *env.os.registry;
  for (const char* n : {"charlie", "alpha", "bravo", "delta"}) SetString(reg, env.scratchKey, n, n);
  ASSERT_EQ(reg.DeleteValue(env.scratchKey, "ALPHA"), kErrorSuccess);
  const char* expected[] = {"charlie", "bravo", "delta"};
  for (std::uint32_t i = 0; i < 3; ++i) {
    char name[32];
    std::uint32_t nameSize = sizeof name;
    ASSERT_EQ(reg.EnumValue(env.scratchKey, i, name, &nameSize, nullptr, nullptr, nullptr), kErrorSuccess);
    EXPECT_STREQ(name, expected[i]);
  }
  char name[32];
  std::uint32_t nameSize = sizeof name;
  EXPECT_EQ(reg.EnumValue(env.scratchKey, 3, name, &nameSize, nullptr, nullptr, nullptr), kErrorNoMoreItems);
}

void SubkeysComeInNameOrder(Env& env) {
  Registry& reg = *env.os.registry;
  for (const char* n : {"Subkey2", "subkey3", "Subkey1"}) reg.CloseKey(Create(env, n));
  const char* expected[] = {"Subkey1", "Subkey2", "subkey3"};
  for (std::uint32_t i = 0; i < 3; ++i) {
    char name[32];
    std::uint32_t nameSize = sizeof name;
    ASSERT_EQ(reg.EnumKey(env.scratchKey, i, name, &nameSize), kErrorSuccess);
    EXPECT_STREQ(name, expected[i]);
  }
}

void DeleteChildrenAtIndexZero(Env& env) {
  Registry& reg = *env.os.registry;
  for (const char* n : {"a", "b", "c"}) reg.CloseKey(Create(env, n));
  int deleted = 0;
  for (;;) {
    char name[32];
    std::uint32_t nameSize = sizeof name;
    std::uint32_t rc = reg.EnumKey(env.scratchKey, 0, name, &nameSize);
    if (rc == kErrorNoMoreItems) break;
    ASSERT_EQ(rc, kErrorSuccess);
    ASSERT_EQ(reg.DeleteKey(env.scratchKey, name), kErrorSuccess);
    ASSERT_LT(++deleted, 4);
  }
  EXPECT_EQ(deleted, 3);
}

void DeleteKeyWithSubkeys95(Env& env) {
  Registry& reg = *env.os.registry;
  reg.CloseKey(Create(env, "Branch\\Child\\Grandchild"));
  EXPECT_EQ(reg.DeleteKey(env.scratchKey, "Branch"), kErrorSuccess);
  HKey key = kSentinel;
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "Branch\\Child", &key), kErrorFileNotFound);
}

void DeleteKeyWithSubkeysNt(Env& env) {
  Registry& reg = *env.os.registry;
  reg.CloseKey(Create(env, "Branch\\Child"));
  EXPECT_EQ(reg.DeleteKey(env.scratchKey, "Branch"), kErrorAccessDenied);
  HKey key = kSentinel;
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "Branch\\Child", &key), kErrorSuccess);
  reg.CloseKey(key);
}

void DeleteKeyArguments(Env& env) {
  Registry& reg = *env.os.registry;
  EXPECT_EQ(reg.DeleteKey(env.scratchKey, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(reg.DeleteKey(env.scratchKey, "Missing"), kErrorFileNotFound);
  HKey leaf = Create(env, "Leaf");
  EXPECT_EQ(reg.DeleteKey(leaf, ""), kErrorSuccess);
  reg.CloseKey(leaf);
  HKey key = kSentinel;
  EXPECT_EQ(reg.OpenKey(env.scratchKey, "Leaf", &key), kErrorFileNotFound);
}

void HandleToDeletedKey(Env& env) {
  Registry& reg = *env.os.registry;
  HKey doomed = Create(env, "Doomed");
  ASSERT_EQ(reg.DeleteKey(env.scratchKey, "Doomed"), kErrorSuccess);
  EXPECT_EQ(SetString(reg, doomed, "v", "x"), kErrorKeyDeleted);
  std::uint32_t size = 0;
  EXPECT_EQ(reg.QueryValue(doomed, "v", nullptr, nullptr, &size), kErrorKeyDeleted);
  reg.CloseKey(doomed);
}

void QueryValueSizes(Env& env) {
  Registry& reg = *env.os.registry;
  ASSERT_EQ(SetString(reg, env.scratchKey, "s", "data"), kErrorSuccess);
  std::uint32_t type = kSentinel, size = kSentinel;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "s", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 5u);
  std::uint8_t small[2];
  size = sizeof small;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "s", nullptr, small, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  size = kSentinel;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "missing", nullptr, nullptr, &size), kErrorFileNotFound);
}

void StringGetsTerminator(Env& env) {
  Registry& reg = *env.os.registry;
  ASSERT_EQ(reg.SetValue(env.scratchKey, "s", kRegSz, Bytes("abc"), 3), kErrorSuccess);
  char data[8];
  std::memset(data, 'x', sizeof data);
  std::uint32_t size = sizeof data;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "s", nullptr, reinterpret_cast<std::uint8_t*>(data), &size),
            kErrorSuccess);
  EXPECT_EQ(size, 4u);
  EXPECT_STREQ(data, "abc");
}

void NullDataZeroSize95(Env& env) {
  EXPECT_EQ(env.os.registry->SetValue(env.scratchKey, "s", kRegSz, nullptr, 0), kErrorInvalidParameter);
}

void NullDataZeroSizeNt(Env& env) {
  EXPECT_EQ(env.os.registry->SetValue(env.scratchKey, "s", kRegSz, nullptr, 0), kErrorSuccess);
}

void DwordAndBinaryRoundTrip(Env& env) {
  Registry& reg = *env.os.registry;
  const std::uint8_t dword[4] = {0x78, 0x56, 0x34, 0x12};
  const std::uint8_t binary[3] = {0, 0xFF, 7};
  ASSERT_EQ(reg.SetValue(env.scratchKey, "d", kRegDword, dword, 4), kErrorSuccess);
  ASSERT_EQ(reg.SetValue(env.scratchKey, "b", kRegBinary, binary, 3), kErrorSuccess);
  ASSERT_EQ(reg.SetValue(env.scratchKey, "m", kRegMultiSz, Bytes("a\0b\0"), 5), kErrorSuccess);
  std::uint8_t data[8];
  std::uint32_t type = kSentinel, size = sizeof data;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "D", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(std::memcmp(data, dword, 4), 0);
  size = sizeof data;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "b", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::memcmp(data, binary, 3), 0);
  size = sizeof data;
  EXPECT_EQ(reg.QueryValue(env.scratchKey, "m", &type, data, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegMultiSz);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(std::memcmp(data, "a\0b\0", 5), 0);
}

void DefaultValueOfSubkey(Env& env) {
  Registry& reg = *env.os.registry;
  EXPECT_EQ(reg.SetDefaultValue(env.scratchKey, "New\\Deep", "text"), kErrorSuccess);
  EXPECT_EQ(reg.SetDefaultValue(env.scratchKey, "New", nullptr), kErrorInvalidParameter);
  HKey key = kSentinel;
  ASSERT_EQ(reg.OpenKey(env.scratchKey, "new\\deep", &key), kErrorSuccess);
  std::uint32_t type = kSentinel, size = kSentinel;
  EXPECT_EQ(reg.QueryValue(key, "", &type, nullptr, &size), kErrorSuccess);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(reg.DeleteValue(key, ""), kErrorSuccess);
  EXPECT_EQ(reg.QueryValue(key, nullptr, &type, nullptr, &size), kErrorFileNotFound);
  EXPECT_EQ(reg.DeleteValue(key, "missing"), kErrorFileNotFound);
  reg.CloseKey(key);
}

void EnumBuffers(Env& env) {
  Registry& reg = *env.os.registry;
  SetString(reg, env.scratchKey, "LongerName", "value");
  reg.CloseKey(Create(env, "LongerKey"));
  char name[4];
  std::uint32_t nameSize = sizeof name;
  EXPECT_EQ(reg.EnumValue(env.scratchKey, 0, name, &nameSize, nullptr, nullptr, nullptr), kErrorMoreData);
  nameSize = sizeof name;
  EXPECT_EQ(reg.EnumKey(env.scratchKey, 0, name, &nameSize), kErrorMoreData);
  EXPECT_EQ(reg.EnumKey(env.scratchKey, 0, nullptr, &nameSize), kErrorInvalidParameter);
  char big[32];
  std::uint8_t data[2];
  std::uint32_t bigSize = sizeof big, dataSize = sizeof data, type = kSentinel;
  EXPECT_EQ(reg.EnumValue(env.scratchKey, 0, big, &bigSize, &type, data, &dataSize), kErrorMoreData);
  EXPECT_EQ(dataSize, 6u);
}

void QueryInfo(Env& env, std::uint32_t expectedMaxData) {
  Registry& reg = *env.os.registry;
  SetString(reg, env.scratchKey, "v", "data");
  SetString(reg, env.scratchKey, "value2", "x");
  reg.CloseKey(Create(env, "Subkey12"));
  reg.CloseKey(Create(env, "S"));
  std::uint32_t subkeys = kSentinel, maxKey = kSentinel, values = kSentinel, maxName = kSentinel,
                maxData = kSentinel;
  ASSERT_EQ(reg.QueryInfoKey(env.scratchKey, &subkeys, &maxKey, &values, &maxName, &maxData), kErrorSuccess);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(maxKey, 8u);
  EXPECT_EQ(values, 2u);
  EXPECT_EQ(maxName, 6u);
  EXPECT_EQ(maxData, expectedMaxData);
}
void QueryInfo95(Env& env) {
  QueryInfo(env, 5);
}
// NT counts the bytes of the UTF-16 form it stores.
void QueryInfoNt(Env& env) {
  QueryInfo(env, 10);
}

void LongestKeyName(Env& env) {
  std::string name(255, 'k');
  HKey key = kSentinel;
  ASSERT_EQ(env.os.registry->CreateKey(env.scratchKey, name.c_str(), &key), kErrorSuccess);
  env.os.registry->CloseKey(key);
  char back[300];
  std::uint32_t size = sizeof back;
  EXPECT_EQ(env.os.registry->EnumKey(env.scratchKey, 0, back, &size), kErrorSuccess);
  EXPECT_EQ(size, 255u);
}

void CreateReportsNewness(Env& env) {
  Registry& reg = *env.os.registry;
  HKey key = kSentinel;
  bool created = false;
  ASSERT_EQ(reg.CreateKey(env.scratchKey, "Fresh", &key, &created), kErrorSuccess);
  EXPECT_TRUE(created);
  reg.CloseKey(key);
  ASSERT_EQ(reg.CreateKey(env.scratchKey, "FRESH", &key, &created), kErrorSuccess);
  EXPECT_FALSE(created);
  reg.CloseKey(key);
}

// ---- profiles ----

const char* kIni =
    "[section1]\r\n"
    "name1=val1\r\n"
    "name2=\r\n"
    "name3\r\n"
    "name4=val4\r\n"
    "[section2]\r\n"
    "=val5\r\n"
    "[ Spaced ]\r\n"
    "  key  =  \"quoted\"  \r\n"
    "; a comment\r\n"
    "[empty]\r\n";

std::string Ini(Env& env) {
  return env.Path("profile.ini");
}

void SectionAsNulSeparatedStrings(Env& env) {
  PutFile(env, "profile.ini", kIni);
  char buffer[100];
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(env.os.profiles->GetSection("section1", buffer, sizeof buffer, Ini(env).c_str()), 35u);
  EXPECT_EQ(std::string(buffer, 36), std::string("name1=val1\0name2=\0name3\0name4=val4\0\0", 36));
  EXPECT_EQ(env.os.profiles->GetSection("SECTION2", buffer, sizeof buffer, Ini(env).c_str()), 6u);
  EXPECT_EQ(std::string(buffer, 6), std::string("=val5\0", 6));
  env.os.files->SetLastError(kSentinel);
  EXPECT_EQ(env.os.profiles->GetSection("empty", buffer, sizeof buffer, Ini(env).c_str()), 0u);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(env.os.files->LastError(), kErrorSuccess);
  EXPECT_EQ(env.os.profiles->GetSection("spaced", buffer, sizeof buffer, Ini(env).c_str()), 13u);
  EXPECT_EQ(std::string(buffer, 13), std::string("key=\"quoted\"\0", 13));
}

void SectionCutAtSizeMinusTwo(Env& env) {
  PutFile(env, "profile.ini", kIni);
  char buffer[24];
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(env.os.profiles->GetSection("section1", buffer, sizeof buffer, Ini(env).c_str()), 22u);
  EXPECT_EQ(std::string(buffer, 24), std::string("name1=val1\0name2=\0name\0\0", 24));
}

// The installers read sections into 512-byte buffers: 511 characters fit, 512 do not.
void SectionBoundaryRows(Env& env) {
  struct Row {
    std::size_t streamLength;  // the entries with their NULs, without the closing NUL
    std::uint32_t expected;
  };
  for (const Row row : {Row{510, 510}, Row{511, 511}, Row{512, 510}, Row{513, 510}}) {
    SCOPED_TRACE(row.streamLength);
    // Two entries: "a=" + filler (NUL) and "b=c" (NUL) = streamLength.
    std::string filler(row.streamLength - 4 - 3, 'x');
    PutFile(env, "big.ini", "[big]\r\na=" + filler + "\r\nb=c\r\n");
    char buffer[512];
    std::memset(buffer, 0x55, sizeof buffer);
    std::uint32_t n = env.os.profiles->GetSection("big", buffer, sizeof buffer, env.Path("big.ini").c_str());
    EXPECT_EQ(n, row.expected);
    if (row.streamLength < sizeof buffer) {
      EXPECT_EQ(std::string(buffer + n - 4, 5), std::string("b=c\0\0", 5));
    } else {
      // Cut mid-entry, with two NULs at the very end.
      const std::string stream = "a=" + filler + '\0' + "b=c" + '\0';
      EXPECT_EQ(std::string(buffer, 510), stream.substr(0, 510));
      EXPECT_EQ(buffer[510], 0);
      EXPECT_EQ(buffer[511], 0);
    }
  }
}

void KeyList(Env& env) {
  PutFile(env, "profile.ini", kIni);
  char buffer[100];
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(env.os.profiles->GetString("section1", nullptr, "", buffer, sizeof buffer, Ini(env).c_str()),
            18u);
  EXPECT_EQ(std::string(buffer, 19), std::string("name1\0name2\0name4\0\0", 19));
}

void GetStringCases(Env& env) {
  PutFile(env, "profile.ini", kIni);
  struct Row {
    const char* section;
    const char* key;
    const char* def;
    std::uint32_t size;
    const char* text;
    std::uint32_t result;
  };
  const Row rows[] = {
      {"section1", "name1", "def", 100, "val1", 4},
      {"SECTION1", "NaMe1", "def", 100, "val1", 4},
      {" section1 ", " name1 ", "def", 100, "val1", 4},
      {"section1", "name1", "def", 4, "val", 3},
      {"section1", "name1", "def", 1, "", 0},
      {"section1", "name2", "def", 100, "", 0},
      {"section1", "name3", "def", 100, "def", 3},
      {"section1", "missing", "default  ", 100, "default", 7},
      {"section1", "missing", nullptr, 100, "", 0},
      {"nosection", "name1", "def", 100, "def", 3},
      {"spaced", "key", "def", 100, "quoted", 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.section) + "/" + row.key + "/" + std::to_string(row.size));
    char buffer[100];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_EQ(env.os.profiles->GetString(row.section, row.key, row.def, buffer, row.size, Ini(env).c_str()),
              row.result);
    EXPECT_STREQ(buffer, row.text);
  }
  char untouched[4] = {'x', 'x', 'x', 0};
  EXPECT_EQ(env.os.profiles->GetString("section1", "name1", "def", untouched, 0, Ini(env).c_str()), 0u);
  EXPECT_STREQ(untouched, "xxx");
  char buffer[16];
  EXPECT_EQ(
      env.os.profiles->GetString("s", "k", "fallback", buffer, sizeof buffer, env.Path("none.ini").c_str()),
      8u);
  EXPECT_STREQ(buffer, "fallback");
}

void WriteStringLayout(Env& env) {
  Profiles& p = *env.os.profiles;
  const std::string ini = env.Path("write.ini");
  ASSERT_TRUE(p.WriteString("App", "key", "value", ini.c_str()));
  EXPECT_EQ(FileText(env, ini), "[App]\r\nkey=value\r\n");
  ASSERT_TRUE(p.WriteString("Other", "a", "1", ini.c_str()));
  ASSERT_TRUE(p.WriteString("APP", "KEY", "changed", ini.c_str()));
  ASSERT_TRUE(p.WriteString("App", "second", "2", ini.c_str()));
  EXPECT_EQ(FileText(env, ini), "[App]\r\nkey=changed\r\nsecond=2\r\n[Other]\r\na=1\r\n");
  ASSERT_TRUE(p.WriteString("App", "key", nullptr, ini.c_str()));
  ASSERT_TRUE(p.WriteString("other", nullptr, nullptr, ini.c_str()));
  EXPECT_EQ(FileText(env, ini), "[App]\r\nsecond=2\r\n");
  EXPECT_FALSE(p.WriteString(nullptr, "k", "v", ini.c_str()));
}

void WriteSectionReplacesLines(Env& env) {
  Profiles& p = *env.os.profiles;
  const std::string ini = env.Path("wininit.ini");
  PutFile(env, "wininit.ini", "[Rename]\r\n; old comment\r\nNUL=C:\\OLD.DRV\r\n[Next]\r\nx=1\r\n");
  // Several NUL= lines can only be written as a whole section.
  const char entries[] =
      "NUL=C:\\OLD.DRV\0NUL=C:\\SECOND.DRV\0no equals sign\0C:\\W\\a.drv=C:\\W\\j6a1.TMP\0";
  ASSERT_TRUE(p.WriteSection("RENAME", entries, ini.c_str()));
  EXPECT_EQ(FileText(env, ini),
            "[Rename]\r\nNUL=C:\\OLD.DRV\r\nNUL=C:\\SECOND.DRV\r\nC:\\W\\a.drv=C:\\W\\j6a1.TMP\r\n[Next]"
            "\r\nx=1\r\n");
  char buffer[200];
  EXPECT_EQ(p.GetSection("rename", buffer, sizeof buffer, ini.c_str()), 58u);
  ASSERT_TRUE(p.WriteSection("New", "a=1\0", ini.c_str()));
  ASSERT_TRUE(p.WriteSection("Next", nullptr, ini.c_str()));
  EXPECT_EQ(FileText(env, ini),
            "[Rename]\r\nNUL=C:\\OLD.DRV\r\nNUL=C:\\SECOND.DRV\r\nC:\\W\\a.drv=C:\\W\\j6a1.TMP\r\n[New]\r\na="
            "1\r\n");
}

void BareNameLivesInWindowsDirectory(Env& env) {
  Profiles& p = *env.os.profiles;
  ASSERT_TRUE(p.WriteString("J6Conformance", "k", "v", "j6conf.ini"));
  char dir[kMaxPath];
  ASSERT_GT(env.os.files->GetWindowsDirectory(dir, sizeof dir), 0u);
  const std::string path = std::string(dir) + "\\j6conf.ini";
  EXPECT_EQ(FileText(env, path), "[J6Conformance]\r\nk=v\r\n");
  char buffer[8];
  EXPECT_EQ(p.GetString("J6Conformance", "k", "", buffer, sizeof buffer, path.c_str()), 1u);
  EXPECT_TRUE(env.os.files->DeleteFile(path.c_str()));
}

// ---- files ----

void TempFileNames(Env& env) {
  FileSystem& files = *env.os.files;
  char name[kMaxPath];
  EXPECT_EQ(files.GetTempFileName(env.scratchDir.c_str(), "abcdef", 0x1234, name), 0x1234u);
  EXPECT_EQ(Upper(name), Upper(env.Path("abc1234.tmp")));
  EXPECT_EQ(files.GetFileAttributes(name), kInvalidFileAttributes);
  std::memset(name, 0, sizeof name);
  std::uint32_t number = files.GetTempFileName(env.scratchDir.c_str(), "j6audio", 0, name);
  ASSERT_NE(number, 0u);
  char hex[8];
  std::snprintf(hex, sizeof hex, "%x", number);
  EXPECT_EQ(Upper(name), Upper(env.Path(std::string("j6a") + hex + ".tmp")));
  EXPECT_EQ(FileText(env, name), "");
  // The next one takes another name.
  char second[kMaxPath];
  ASSERT_NE(files.GetTempFileName(env.scratchDir.c_str(), "j6audio", 0, second), 0u);
  EXPECT_STRNE(name, second);
}

void CopyFileCases(Env& env) {
  FileSystem& files = *env.os.files;
  PutFile(env, "source.txt", "source");
  PutFile(env, "target.txt", "target");
  const std::string src = env.Path("source.txt"), dst = env.Path("target.txt");
  files.SetLastError(kSentinel);
  EXPECT_FALSE(files.CopyFile(src.c_str(), dst.c_str(), true));
  EXPECT_EQ(files.LastError(), kErrorFileExists);
  EXPECT_TRUE(files.CopyFile(src.c_str(), dst.c_str(), false));
  EXPECT_EQ(FileText(env, dst), "source");
  EXPECT_FALSE(files.CopyFile(env.Path("missing.txt").c_str(), dst.c_str(), false));
  EXPECT_EQ(files.LastError(), kErrorFileNotFound);
  // Attributes come along, read-only included; a read-only target refuses to be overwritten.
  ASSERT_TRUE(files.SetFileAttributes(src.c_str(), kFileAttributeReadOnly));
  EXPECT_TRUE(files.CopyFile(src.c_str(), env.Path("copy.txt").c_str(), true));
  EXPECT_EQ(files.GetFileAttributes(env.Path("copy.txt").c_str()) & kFileAttributeReadOnly,
            kFileAttributeReadOnly);
  EXPECT_FALSE(files.CopyFile(dst.c_str(), env.Path("copy.txt").c_str(), false));
  EXPECT_EQ(files.LastError(), kErrorAccessDenied);
  files.SetFileAttributes(src.c_str(), kFileAttributeNormal);
  files.SetFileAttributes(env.Path("copy.txt").c_str(), kFileAttributeNormal);
}

void CopyOntoItself(Env& env, std::uint32_t expected) {
  PutFile(env, "self.txt", "self");
  const std::string path = env.Path("self.txt");
  EXPECT_FALSE(env.os.files->CopyFile(path.c_str(), path.c_str(), false));
  EXPECT_EQ(env.os.files->LastError(), expected);
  EXPECT_EQ(FileText(env, path), "self");
}
void CopyOntoItself95(Env& env) {
  CopyOntoItself(env, kErrorFileExists);
}
void CopyOntoItselfNt(Env& env) {
  CopyOntoItself(env, kErrorSharingViolation);
}

void DeleteFileCases(Env& env) {
  FileSystem& files = *env.os.files;
  EXPECT_FALSE(files.DeleteFile(env.Path("missing.txt").c_str()));
  EXPECT_EQ(files.LastError(), kErrorFileNotFound);
  EXPECT_FALSE(files.DeleteFile(env.Path("nodir\\missing.txt").c_str()));
  EXPECT_EQ(files.LastError(), kErrorPathNotFound);
  ASSERT_TRUE(files.CreateDirectory(env.Path("dir").c_str()));
  EXPECT_FALSE(files.DeleteFile(env.Path("dir").c_str()));
  EXPECT_EQ(files.LastError(), kErrorAccessDenied);
  PutFile(env, "ro.txt", "x");
  ASSERT_TRUE(
      files.SetFileAttributes(env.Path("ro.txt").c_str(), kFileAttributeReadOnly | kFileAttributeArchive));
  EXPECT_FALSE(files.DeleteFile(env.Path("ro.txt").c_str()));
  EXPECT_EQ(files.LastError(), kErrorAccessDenied);
  ASSERT_TRUE(files.SetFileAttributes(env.Path("ro.txt").c_str(), kFileAttributeNormal));
  EXPECT_TRUE(files.DeleteFile(env.Path("RO.TXT").c_str()));
  EXPECT_EQ(files.GetFileAttributes(env.Path("ro.txt").c_str()), kInvalidFileAttributes);
}

void DirectoryCases(Env& env) {
  FileSystem& files = *env.os.files;
  ASSERT_TRUE(files.CreateDirectory(env.Path("Sub").c_str()));
  EXPECT_FALSE(files.CreateDirectory(env.Path("SUB").c_str()));
  EXPECT_EQ(files.LastError(), kErrorAlreadyExists);
  EXPECT_FALSE(files.CreateDirectory(env.Path("no\\such").c_str()));
  EXPECT_EQ(files.LastError(), kErrorPathNotFound);
  EXPECT_EQ(files.GetFileAttributes(env.Path("sub").c_str()) & kFileAttributeDirectory,
            kFileAttributeDirectory);
  PutFile(env, "Sub\\inner.txt", "x");
  EXPECT_FALSE(files.RemoveDirectory(env.Path("Sub").c_str()));
  EXPECT_EQ(files.LastError(), kErrorDirNotEmpty);
  EXPECT_TRUE(files.DeleteFile(env.Path("sub\\INNER.TXT").c_str()));
  EXPECT_TRUE(files.RemoveDirectory(env.Path("sub").c_str()));
}

void MoveFileCases(Env& env) {
  FileSystem& files = *env.os.files;
  PutFile(env, "a.txt", "a");
  PutFile(env, "b.txt", "b");
  EXPECT_FALSE(files.MoveFile(env.Path("a.txt").c_str(), env.Path("B.TXT").c_str()));
  EXPECT_EQ(files.LastError(), kErrorAlreadyExists);
  EXPECT_TRUE(files.MoveFile(env.Path("a.txt").c_str(), env.Path("c.txt").c_str()));
  EXPECT_EQ(FileText(env, env.Path("c.txt")), "a");
  EXPECT_EQ(files.GetFileAttributes(env.Path("a.txt").c_str()), kInvalidFileAttributes);
}

std::vector<std::string> FindAll(Env& env, const std::string& pattern, std::uint32_t* error) {
  FileSystem& files = *env.os.files;
  std::vector<std::string> names;
  FindData data;
  FindHandle h = files.FindFirstFile(pattern.c_str(), &data);
  if (h == kInvalidFindHandle) {
    *error = files.LastError();
    return names;
  }
  do {
    std::string name = data.name;
    if (name != "." && name != "..") names.push_back(Upper(name));
  } while (files.FindNextFile(h, &data));
  *error = files.LastError();
  files.FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

void FindPatterns(Env& env) {
  for (const char* name : {"README", "a.txt", "b.TXT", "OEM12.INF", "oem3.pnf", "ab.txt"})
    PutFile(env, name, "x");
  env.os.files->CreateDirectory(env.Path("Folder").c_str());
  struct Row {
    const char* pattern;
    std::vector<std::string> names;
    std::uint32_t error;  // after the last name, or of FindFirstFile when nothing matches
  };
  const Row rows[] = {
      {"*.*", {"A.TXT", "AB.TXT", "B.TXT", "FOLDER", "OEM12.INF", "OEM3.PNF", "README"}, kErrorNoMoreFiles},
      {"*.", {"FOLDER", "README"}, kErrorNoMoreFiles},
      {"?.txt", {"A.TXT", "B.TXT"}, kErrorNoMoreFiles},
      {"oem*.inf", {"OEM12.INF"}, kErrorNoMoreFiles},
      {"readme", {"README"}, kErrorNoMoreFiles},
      {"*.doc", {}, kErrorFileNotFound},
      {"nodir\\*.*", {}, kErrorPathNotFound},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pattern);
    std::uint32_t error = kSentinel;
    EXPECT_EQ(FindAll(env, env.Path(row.pattern), &error), row.names);
    EXPECT_EQ(error, row.error);
  }
  FindData data;
  FindHandle h = env.os.files->FindFirstFile(env.Path("readme").c_str(), &data);
  ASSERT_NE(h, kInvalidFindHandle);
  EXPECT_STREQ(data.name, "README");
  EXPECT_EQ(data.size, 1u);
  env.os.files->FindClose(h);
}

void OpenModes(Env& env) {
  FileSystem& files = *env.os.files;
  PutFile(env, "exists.txt", "12345");
  const std::string path = env.Path("exists.txt");
  EXPECT_EQ(files.OpenFile(path.c_str(), OpenMode::kCreateNew), kInvalidFileHandle);
  EXPECT_EQ(files.LastError(), kErrorFileExists);
  EXPECT_EQ(files.OpenFile(env.Path("missing.txt").c_str(), OpenMode::kRead), kInvalidFileHandle);
  EXPECT_EQ(files.LastError(), kErrorFileNotFound);
  FileHandle h = files.OpenFile(path.c_str(), OpenMode::kRead);
  ASSERT_NE(h, kInvalidFileHandle);
  EXPECT_EQ(files.GetFileSize(h), 5u);
  EXPECT_EQ(files.SeekFile(h, -2, SeekFrom::kEnd), 3);
  char buffer[8] = {};
  std::uint32_t read = kSentinel;
  EXPECT_TRUE(files.ReadFile(h, buffer, sizeof buffer, &read));
  EXPECT_EQ(read, 2u);
  EXPECT_STREQ(buffer, "45");
  EXPECT_TRUE(files.ReadFile(h, buffer, sizeof buffer, &read));
  EXPECT_EQ(read, 0u);
  std::uint32_t written = kSentinel;
  EXPECT_FALSE(files.WriteFile(h, "x", 1, &written));
  EXPECT_TRUE(files.CloseFile(h));
  // Truncating an existing file says so through the last error.
  files.SetLastError(kSentinel);
  h = files.OpenFile(path.c_str(), OpenMode::kCreateAlways);
  ASSERT_NE(h, kInvalidFileHandle);
  EXPECT_EQ(files.LastError(), kErrorAlreadyExists);
  EXPECT_EQ(files.GetFileSize(h), 0u);
  files.CloseFile(h);
}

void DiskFreeSpace(Env& env, bool capped) {
  FileSystem& files = *env.os.files;
  std::uint32_t spc = kSentinel, bps = kSentinel, freeClusters = kSentinel, total = kSentinel;
  ASSERT_TRUE(files.GetDiskFreeSpace("C:\\", &spc, &bps, &freeClusters, &total));
  EXPECT_NE(spc, kSentinel);
  EXPECT_NE(bps, kSentinel);
  EXPECT_LE(freeClusters, total);
  if (capped) {
    EXPECT_LE(total, 65535u);
  }
  std::uint32_t spc2 = kSentinel;
  ASSERT_TRUE(files.GetDiskFreeSpace(nullptr, &spc2, &bps, &freeClusters, &total));
  EXPECT_EQ(spc2, spc);
  EXPECT_FALSE(files.GetDiskFreeSpace("", &spc, &bps, &freeClusters, &total));
  std::uint64_t callerFree = kSentinel, totalBytes = kSentinel, totalFree = kSentinel;
  ASSERT_TRUE(files.GetDiskFreeSpaceEx(env.scratchDir.c_str(), &callerFree, &totalBytes, &totalFree));
  EXPECT_LE(callerFree, totalBytes);
}
void DiskFreeSpace95(Env& env) {
  DiskFreeSpace(env, true);
}
void DiskFreeSpaceNt(Env& env) {
  DiskFreeSpace(env, false);
}

void DirectoriesOfWindows(Env& env) {
  FileSystem& files = *env.os.files;
  char windows[kMaxPath], system[kMaxPath];
  std::uint32_t n = files.GetWindowsDirectory(windows, sizeof windows);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(n, std::strlen(windows));
  EXPECT_EQ(files.GetWindowsDirectory(windows, 2), n + 1);
  ASSERT_GT(files.GetSystemDirectory(system, sizeof system), n);
  EXPECT_EQ(Upper(system).rfind(Upper(windows), 0), 0u);
  char current[kMaxPath];
  ASSERT_TRUE(files.SetCurrentDirectory(env.scratchDir.c_str()));
  ASSERT_GT(files.GetCurrentDirectory(sizeof current, current), 0u);
  EXPECT_EQ(Upper(current), Upper(env.scratchDir));
  PutFile(env, "rel.txt", "r");
  EXPECT_EQ(FileText(env, "rel.txt"), "r");
  EXPECT_EQ(FileText(env, ".\\REL.TXT"), "r");
}

// ---- RIFF ----

std::string Le32(std::uint32_t v) {
  return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string Chunk(const char* id, const std::string& data) {
  std::string out = std::string(id, 4) + Le32(std::uint32_t(data.size())) + data;
  if (data.size() % 2) out += '\0';
  return out;
}

// RIFF WAVE { "fmt " (3 bytes, padded), LIST INFO { INAM "name" }, data (5 bytes, padded) }
std::string WaveFile() {
  std::string body =
      "WAVE" + Chunk("fmt ", "abc") + Chunk("LIST", "INFO" + Chunk("INAM", "name")) + Chunk("data", "12345");
  return Chunk("RIFF", body);
}

struct RiffFile {
  RiffFile(Env& env, const std::string& bytes) : riff(*env.os.riff) {
    PutFile(env, "test.riff", bytes);
    handle = riff.Open(env.Path("test.riff").c_str());
  }
  ~RiffFile() { riff.Close(handle); }
  RiffReader& riff;
  RiffHandle handle;
};

void DescendWithoutFlags(Env& env) {
  RiffFile f(env, WaveFile());
  ASSERT_NE(f.handle, 0u);
  ChunkInfo ck;
  ck.id = ck.size = ck.type = ck.dataOffset = kSentinel;
  ASSERT_EQ(f.riff.Descend(f.handle, &ck, nullptr, 0), 0u);
  EXPECT_EQ(ck.id, FourCc('R', 'I', 'F', 'F'));
  EXPECT_EQ(ck.type, FourCc('W', 'A', 'V', 'E'));
  EXPECT_EQ(ck.dataOffset, 8u);
  EXPECT_EQ(ck.size, WaveFile().size() - 8);
  EXPECT_EQ(f.riff.Seek(f.handle, 0, 1), 12);
  ChunkInfo fmt;
  ASSERT_EQ(f.riff.Descend(f.handle, &fmt, &ck, 0), 0u);
  EXPECT_EQ(fmt.id, FourCc('f', 'm', 't', ' '));
  EXPECT_EQ(fmt.type, 0u);
  EXPECT_EQ(fmt.dataOffset, 20u);
  EXPECT_EQ(f.riff.Seek(f.handle, 0, 1), 20);
  // Ascending skips the pad byte of the odd-sized chunk.
  EXPECT_EQ(f.riff.Ascend(f.handle, &fmt), 0u);
  EXPECT_EQ(f.riff.Seek(f.handle, 0, 1), 24);
}

void FindFlags(Env& env) {
  RiffFile f(env, WaveFile());
  ChunkInfo riff;
  riff.type = FourCc('W', 'A', 'V', 'E');
  ASSERT_EQ(f.riff.Descend(f.handle, &riff, nullptr, kMmioFindRiff), 0u);
  ChunkInfo list;
  list.type = FourCc('I', 'N', 'F', 'O');
  ASSERT_EQ(f.riff.Descend(f.handle, &list, &riff, kMmioFindList), 0u);
  EXPECT_EQ(list.dataOffset, 32u);
  ChunkInfo name;
  name.id = FourCc('I', 'N', 'A', 'M');
  ASSERT_EQ(f.riff.Descend(f.handle, &name, &list, kMmioFindChunk), 0u);
  char text[8] = {};
  EXPECT_EQ(f.riff.Read(f.handle, text, 4), 4);
  EXPECT_STREQ(text, "name");
  ASSERT_EQ(f.riff.Ascend(f.handle, &name), 0u);
  ASSERT_EQ(f.riff.Ascend(f.handle, &list), 0u);
  ChunkInfo data;
  data.id = FourCc('d', 'a', 't', 'a');
  ASSERT_EQ(f.riff.Descend(f.handle, &data, &riff, kMmioFindChunk), 0u);
  EXPECT_EQ(data.size, 5u);
  // A second search from the start of the form also skips the padded chunks in between.
  f.riff.Seek(f.handle, 12, 0);
  ChunkInfo again;
  again.id = FourCc('d', 'a', 't', 'a');
  ASSERT_EQ(f.riff.Descend(f.handle, &again, &riff, kMmioFindChunk), 0u);
  EXPECT_EQ(again.dataOffset, data.dataOffset);
  ChunkInfo missing;
  missing.id = FourCc('n', 'o', 'n', 'e');
  f.riff.Seek(f.handle, 12, 0);
  EXPECT_EQ(f.riff.Descend(f.handle, &missing, &riff, kMmioFindChunk), kMmioErrChunkNotFound);
}

// The search ends at the end of the parent, even if a matching chunk follows it.
void SearchStopsAtParentEnd(Env& env) {
  RiffFile f(env, WaveFile());
  ChunkInfo riff, list;
  ASSERT_EQ(f.riff.Descend(f.handle, &riff, nullptr, 0), 0u);
  list.type = FourCc('I', 'N', 'F', 'O');
  ASSERT_EQ(f.riff.Descend(f.handle, &list, &riff, kMmioFindList), 0u);
  ChunkInfo data;
  data.id = FourCc('d', 'a', 't', 'a');
  EXPECT_EQ(f.riff.Descend(f.handle, &data, &list, kMmioFindChunk), kMmioErrChunkNotFound);
}

void HugeSizesAndTruncation(Env& env) {
  // A chunk claiming 0xFFFFFFFF bytes, then a short tail: the search must end, not wrap around.
  std::string bytes = "RIFF" + Le32(0xFFFFFFF0) + "TEST" + "junk" + Le32(0xFFFFFFFF) + "xyz";
  RiffFile f(env, bytes);
  ChunkInfo riff;
  ASSERT_EQ(f.riff.Descend(f.handle, &riff, nullptr, 0), 0u);
  ChunkInfo missing;
  missing.id = FourCc('d', 'a', 't', 'a');
  EXPECT_EQ(f.riff.Descend(f.handle, &missing, &riff, kMmioFindChunk), kMmioErrChunkNotFound);
  // The oversized chunk itself still descends; reading it comes back short.
  f.riff.Seek(f.handle, 12, 0);
  ChunkInfo junk;
  ASSERT_EQ(f.riff.Descend(f.handle, &junk, &riff, 0), 0u);
  EXPECT_EQ(junk.size, 0xFFFFFFFFu);
  char buffer[16];
  EXPECT_EQ(f.riff.Read(f.handle, buffer, sizeof buffer), 3);
  EXPECT_EQ(f.riff.Read(f.handle, buffer, sizeof buffer), 0);
}

void TooShortForAHeader(Env& env) {
  RiffFile f(env, "RIFF\x04");
  ChunkInfo ck;
  EXPECT_EQ(f.riff.Descend(f.handle, &ck, nullptr, 0), kMmioErrChunkNotFound);
}

void SeekQuirks(Env& env) {
  RiffFile f(env, WaveFile());
  const auto size = std::int32_t(WaveFile().size());
  // From the end, the offset is taken backwards.
  EXPECT_EQ(f.riff.Seek(f.handle, 16, 2), size - 16);
  EXPECT_EQ(f.riff.Seek(f.handle, 4, 0), 4);
  EXPECT_EQ(f.riff.Seek(f.handle, 4, 1), 8);
  EXPECT_EQ(f.riff.Seek(f.handle, -100, 1), -1);
  EXPECT_EQ(f.riff.Read(f.handle + 1000, nullptr, 0), -1);
  EXPECT_EQ(f.riff.Open(env.Path("missing.riff").c_str()), 0u);
}

// ---- services (NT) ----

// A service named for the row, gone before and after it: the real service manager outlives the run.
struct ScratchService {
  ServiceManager& scm;
  ServiceHandle manager = 0;
  std::string name;

  ScratchService(Env& env, const char* serviceName) : scm(*env.os.services), name(serviceName) {
    manager = scm.OpenManager();
    EXPECT_NE(manager, 0u) << "open the service manager";
    Remove();
  }
  ~ScratchService() {
    Remove();
    if (manager) scm.Close(manager);
  }
  void Remove() {
    if (!manager) return;
    if (ServiceHandle old = scm.Open(manager, name.c_str())) {
      std::uint32_t state = 0;
      if (scm.QueryStatus(old, &state) && state != kServiceStopped) scm.Stop(old);
      scm.Delete(old);
      scm.Close(old);
    }
  }
  ServiceHandle Create(const char* group = "Extended Base") {
    ServiceConfig config;
    config.type = kServiceKernelDriver;
    config.start = kServiceDemandStart;
    config.errorControl = kServiceErrorNormal;
    config.binaryPath = "\\SystemRoot\\System32\\Drivers\\j6conf_missing.sys";
    config.group = group;
    return scm.Create(manager, name.c_str(), config);
  }
  std::string KeyPath() const { return "System\\CurrentControlSet\\Services\\" + name; }
};

std::uint32_t ServiceDword(Env& env, const ScratchService& s, const char* value) {
  HKey key = 0;
  if (env.os.registry->OpenKey(kHkeyLocalMachine, s.KeyPath().c_str(), &key) != kErrorSuccess)
    return kSentinel;
  std::uint32_t type = 0, size = 4;
  std::uint8_t bytes[4] = {};
  std::uint32_t result = kSentinel;
  if (env.os.registry->QueryValue(key, value, &type, bytes, &size) == kErrorSuccess && type == kRegDword)
    result = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
  env.os.registry->CloseKey(key);
  return result;
}

std::string ServiceText(Env& env, const ScratchService& s, const char* value, std::uint32_t* type = nullptr) {
  HKey key = 0;
  if (env.os.registry->OpenKey(kHkeyLocalMachine, s.KeyPath().c_str(), &key) != kErrorSuccess)
    return "<no key>";
  char text[512] = {};
  std::uint32_t size = sizeof text - 1, got = 0;
  std::string result = "<missing>";
  if (env.os.registry->QueryValue(key, value, &got, reinterpret_cast<std::uint8_t*>(text), &size) ==
      kErrorSuccess)
    result = text;
  if (type) *type = got;
  env.os.registry->CloseKey(key);
  return result;
}

void NoServiceManager95(Env& env) {
  EXPECT_EQ(env.os.services, nullptr);
}

void CreateOpenAndExists(Env& env) {
  ScratchService s(env, "j6conf_create");
  ServiceHandle service = s.Create();
  ASSERT_NE(service, 0u) << s.scm.LastError();
  EXPECT_EQ(s.Create(), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorServiceExists);
  // Names ignore case.
  ServiceHandle again = s.scm.Open(s.manager, "J6CONF_CREATE");
  EXPECT_NE(again, 0u);
  if (again) {
    EXPECT_TRUE(s.scm.Close(again));
  }
  EXPECT_EQ(s.scm.Open(s.manager, "j6conf_no_such_service"), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorServiceDoesNotExist);
  std::uint32_t state = kSentinel;
  EXPECT_TRUE(s.scm.QueryStatus(service, &state));
  EXPECT_EQ(state, kServiceStopped);
  EXPECT_TRUE(s.scm.Close(service));
}

void CreateArgumentErrors(Env& env) {
  ScratchService s(env, "j6conf_args");
  ServiceConfig config;
  config.type = kServiceKernelDriver;
  config.start = kServiceDemandStart;
  config.errorControl = kServiceErrorNormal;
  config.binaryPath = "System32\\drivers\\j6conf.sys";
  EXPECT_EQ(s.scm.Create(s.manager, "", config), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorInvalidName);
  config.binaryPath = "";
  EXPECT_EQ(s.scm.Create(s.manager, s.name.c_str(), config), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorInvalidParameter);
  // System start belongs to drivers; a program of its own (type 0x10) may not have it.
  config.binaryPath = "C:\\j6conf.exe";
  config.type = 0x10;
  config.start = kServiceSystemStart;
  EXPECT_EQ(s.scm.Create(s.manager, s.name.c_str(), config), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorInvalidParameter);
  EXPECT_EQ(s.scm.Open(s.manager, s.name.c_str()), 0u) << "nothing was made";
}

void ConfigGoesToTheRegistry(Env& env) {
  ScratchService s(env, "j6conf_registry");
  ServiceHandle service = s.Create("Base");
  ASSERT_NE(service, 0u) << s.scm.LastError();
  EXPECT_EQ(ServiceDword(env, s, "Type"), kServiceKernelDriver);
  EXPECT_EQ(ServiceDword(env, s, "Start"), kServiceDemandStart);
  EXPECT_EQ(ServiceDword(env, s, "ErrorControl"), kServiceErrorNormal);
  EXPECT_EQ(ServiceText(env, s, "ImagePath"), "\\SystemRoot\\System32\\Drivers\\j6conf_missing.sys");
  EXPECT_EQ(ServiceText(env, s, "Group"), "Base");
  // The setup's pattern: an existing service only changes its start type; the rest stays.
  ServiceConfig system;
  system.start = kServiceSystemStart;
  EXPECT_TRUE(s.scm.ChangeConfig(service, system));
  EXPECT_EQ(ServiceDword(env, s, "Start"), kServiceSystemStart);
  EXPECT_EQ(ServiceDword(env, s, "Type"), kServiceKernelDriver);
  EXPECT_EQ(ServiceText(env, s, "ImagePath"), "\\SystemRoot\\System32\\Drivers\\j6conf_missing.sys");
  EXPECT_EQ(ServiceText(env, s, "Group"), "Base");
  ServiceConfig bad;
  bad.start = 5;
  EXPECT_FALSE(s.scm.ChangeConfig(service, bad));
  EXPECT_EQ(s.scm.LastError(), kErrorInvalidParameter);
  EXPECT_EQ(ServiceDword(env, s, "Start"), kServiceSystemStart) << "a refused change writes nothing";
  s.scm.Close(service);
}

void ImagePathIsExpandSz(Env& env) {
  ScratchService s(env, "j6conf_expand");
  ServiceHandle service = s.Create();
  ASSERT_NE(service, 0u) << s.scm.LastError();
  std::uint32_t type = 0;
  ServiceText(env, s, "ImagePath", &type);
  EXPECT_EQ(type, std::uint32_t(kRegExpandSz));
  s.scm.Close(service);
}

void DisabledAndStoppedServices(Env& env) {
  ScratchService s(env, "j6conf_disabled");
  ServiceHandle service = s.Create();
  ASSERT_NE(service, 0u) << s.scm.LastError();
  EXPECT_FALSE(s.scm.Stop(service));
  EXPECT_EQ(s.scm.LastError(), kErrorServiceNotActive);
  ServiceConfig disabled;
  disabled.start = kServiceDisabled;
  EXPECT_TRUE(s.scm.ChangeConfig(service, disabled));
  EXPECT_FALSE(s.scm.Start(service));
  EXPECT_EQ(s.scm.LastError(), kErrorServiceDisabled);
  std::uint32_t state = kSentinel;
  EXPECT_TRUE(s.scm.QueryStatus(service, &state));
  EXPECT_EQ(state, kServiceStopped);
  s.scm.Close(service);
}

void DeleteMarksUntilTheLastHandle(Env& env) {
  ScratchService s(env, "j6conf_delete");
  ServiceHandle service = s.Create();
  ASSERT_NE(service, 0u) << s.scm.LastError();
  EXPECT_TRUE(s.scm.Delete(service));
  EXPECT_FALSE(s.scm.Delete(service));
  EXPECT_EQ(s.scm.LastError(), kErrorServiceMarkedForDelete);
  ServiceConfig demand;
  demand.start = kServiceDemandStart;
  EXPECT_FALSE(s.scm.ChangeConfig(service, demand));
  EXPECT_EQ(s.scm.LastError(), kErrorServiceMarkedForDelete);
  EXPECT_EQ(s.Create(), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorServiceMarkedForDelete);
  EXPECT_TRUE(s.scm.Close(service));
  // The last handle is gone: so are the service and its key.
  EXPECT_EQ(s.scm.Open(s.manager, s.name.c_str()), 0u);
  EXPECT_EQ(s.scm.LastError(), kErrorServiceDoesNotExist);
  HKey key = 0;
  EXPECT_EQ(env.os.registry->OpenKey(kHkeyLocalMachine, s.KeyPath().c_str(), &key), kErrorFileNotFound);
  ServiceHandle fresh = s.Create();
  EXPECT_NE(fresh, 0u) << "the name is free again";
  if (fresh) s.scm.Close(fresh);
}

// ---- setup file queue (NT) ----

std::string PendingRenames(Env& env) {
  HKey key = 0;
  if (env.os.registry->OpenKey(kHkeyLocalMachine, "System\\CurrentControlSet\\Control\\Session Manager",
                               &key) != kErrorSuccess)
    return {};
  std::uint32_t type = 0, size = 0;
  std::string text;
  if (env.os.registry->QueryValue(key, "PendingFileRenameOperations", &type, nullptr, &size) ==
      kErrorSuccess) {
    text.assign(size, '\0');
    env.os.registry->QueryValue(key, "PendingFileRenameOperations", &type,
                                reinterpret_cast<std::uint8_t*>(text.data()), &size);
    for (char& c : text)
      if (c == '\0') c = '|';
  }
  env.os.registry->CloseKey(key);
  return Upper(text);
}

struct Queue {
  FileQueue& queue;
  FileQueueHandle handle;
  explicit Queue(Env& env) : queue(*env.os.fileQueue), handle(queue.Open()) {
    EXPECT_NE(handle, 0u);
    EXPECT_NE(handle, ~FileQueueHandle{0});
  }
  ~Queue() { queue.Close(handle); }
};

void EmptyQueueCommits(Env& env) {
  Queue q(env);
  bool reboot = true;
  EXPECT_TRUE(q.queue.Commit(q.handle, &reboot));
  EXPECT_FALSE(reboot);
}

void CopiesNameAndCreateDirectories(Env& env) {
  ASSERT_TRUE(env.os.files->CreateDirectory(env.Path("disk").c_str()));
  PutFile(env, "disk\\one.sys", "first");
  PutFile(env, "disk\\two.dll", "second");
  PutFile(env, "out.dll", "old");
  Queue q(env);
  // The setup's form: the root ends in a backslash and there is no sub-path.
  const std::string root = env.Path("disk") + "\\";
  const std::string deep = env.Path("system\\drivers");
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, root.c_str(), nullptr, "one.sys", deep.c_str(), "one.sys",
                                kSpCopyInUseNeedsReboot));
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), "disk", "two.dll", env.scratchDir.c_str(),
                                "out.dll", 0));
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, root.c_str(), nullptr, "two.dll", deep.c_str(), nullptr, 0));
  // Nothing happens before the commit.
  EXPECT_EQ(FileText(env, env.Path("out.dll")), "old");
  bool reboot = true;
  EXPECT_TRUE(q.queue.Commit(q.handle, &reboot));
  EXPECT_FALSE(reboot);
  EXPECT_EQ(FileText(env, deep + "\\one.sys"), "first");
  EXPECT_EQ(FileText(env, deep + "\\two.dll"), "second");
  EXPECT_EQ(FileText(env, env.Path("out.dll")), "second");
}

void NoOverwriteKeepsTheTarget(Env& env) {
  PutFile(env, "new.dll", "new");
  PutFile(env, "kept.dll", "old");
  Queue q(env);
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), nullptr, "new.dll", env.scratchDir.c_str(),
                                "kept.dll", kSpCopyNoOverwrite));
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), nullptr, "new.dll", env.scratchDir.c_str(),
                                "fresh.dll", kSpCopyNoOverwrite));
  EXPECT_TRUE(q.queue.Commit(q.handle, nullptr));
  EXPECT_EQ(FileText(env, env.Path("kept.dll")), "old");
  EXPECT_EQ(FileText(env, env.Path("fresh.dll")), "new");
}

void MissingSourceIsSkipped(Env& env) {
  PutFile(env, "there.dll", "there");
  Queue q(env);
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), nullptr, "absent.dll",
                                env.Path("out").c_str(), nullptr, kSpCopyInUseNeedsReboot));
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), nullptr, "there.dll",
                                env.Path("out").c_str(), nullptr, kSpCopyInUseNeedsReboot));
  // The default callback skips what fails and goes on with the rest.
  bool reboot = true;
  q.queue.Commit(q.handle, &reboot);
  EXPECT_FALSE(reboot);
  EXPECT_EQ(env.os.files->GetFileAttributes(env.Path("out\\absent.dll").c_str()), kInvalidFileAttributes);
  EXPECT_EQ(FileText(env, env.Path("out\\there.dll")), "there");
}

void InUseTargetWaitsForTheRestart(Env& env) {
  PutFile(env, "new.sys", "new");
  PutFile(env, "busy.sys", "old");
  FileSystem& files = *env.os.files;
  // Open for reading without sharing writes: the copy cannot replace it now.
  FileHandle busy = files.OpenFile(env.Path("busy.sys").c_str(), OpenMode::kRead);
  ASSERT_NE(busy, kInvalidFileHandle);
  Queue q(env);
  EXPECT_TRUE(q.queue.QueueCopy(q.handle, env.scratchDir.c_str(), nullptr, "new.sys", env.scratchDir.c_str(),
                                "busy.sys", kSpCopyInUseNeedsReboot));
  bool reboot = false;
  EXPECT_TRUE(q.queue.Commit(q.handle, &reboot));
  files.CloseFile(busy);
  EXPECT_TRUE(reboot);
  EXPECT_EQ(FileText(env, env.Path("busy.sys")), "old");
  EXPECT_NE(PendingRenames(env).find(Upper(env.Path("busy.sys"))), std::string::npos) << PendingRenames(env);
}

}  // namespace

const std::vector<Case>& RegistryCases() {
  static const std::vector<Case> cases = {
      {"open_missing_key_gives_2_and_a_null_handle", Family::kAny, OpenMissingKey},
      {"open_without_subkey_returns_predefined_or_new_handle", Family::kAny, OpenWithoutSubkey},
      {"leading_backslash_is_bad_trailing_is_fine", Family::kAny, OpenPathForms},
      {"key_and_value_names_ignore_case_and_keep_their_spelling", Family::kAny, NamesIgnoreCase},
      // Wine sorts values by name.
      {"values_enumerate_in_creation_order_after_a_deletion", Family::kAny,
       ValuesKeepCreationOrderAfterDeletion, true},
      {"subkeys_enumerate_in_name_order", Family::kAny, SubkeysComeInNameOrder},
      {"children_delete_by_enumerating_index_0", Family::kAny, DeleteChildrenAtIndexZero},
      {"delete_key_with_subkeys_removes_the_branch", Family::k95, DeleteKeyWithSubkeys95},
      {"delete_key_with_subkeys_is_refused", Family::kNt, DeleteKeyWithSubkeysNt},
      {"delete_key_arguments", Family::kAny, DeleteKeyArguments},
      {"handle_to_a_deleted_key_gives_1018", Family::kAny, HandleToDeletedKey},
      {"query_value_sizes_and_short_buffer", Family::kAny, QueryValueSizes},
      {"string_without_terminator_gets_one", Family::kAny, StringGetsTerminator},
      {"null_data_of_size_0_is_refused", Family::k95, NullDataZeroSize95},
      {"null_data_of_size_0_is_accepted", Family::kNt, NullDataZeroSizeNt},
      {"dword_binary_and_multi_sz_round_trip", Family::kAny, DwordAndBinaryRoundTrip},
      {"default_value_of_a_new_subkey", Family::kAny, DefaultValueOfSubkey},
      {"enum_short_buffers_give_more_data", Family::kAny, EnumBuffers},
      {"query_info_counts_bytes_as_stored", Family::k95, QueryInfo95},
      {"query_info_counts_utf16_bytes", Family::kNt, QueryInfoNt},
      {"key_name_of_255_characters", Family::kAny, LongestKeyName},
      {"create_tells_whether_the_key_is_new", Family::kAny, CreateReportsNewness},
  };
  return cases;
}

const std::vector<Case>& ProfileCases() {
  static const std::vector<Case> cases = {
      {"section_as_nul_separated_strings", Family::kAny, SectionAsNulSeparatedStrings},
      {"section_that_does_not_fit_is_cut_at_size_minus_2", Family::kAny, SectionCutAtSizeMinusTwo},
      {"section_boundary_rows_511_and_512", Family::kAny, SectionBoundaryRows},
      {"null_key_lists_the_keys", Family::kAny, KeyList},
      {"get_string_cases", Family::kAny, GetStringCases},
      {"write_string_layout", Family::kAny, WriteStringLayout},
      {"write_section_replaces_every_line", Family::kAny, WriteSectionReplacesLines},
      {"bare_file_name_lives_in_the_windows_directory", Family::kAny, BareNameLivesInWindowsDirectory},
  };
  return cases;
}

const std::vector<Case>& FileCases() {
  static const std::vector<Case> cases = {
      {"temp_names_take_three_prefix_letters_and_hex", Family::kAny, TempFileNames},
      {"copy_file_cases", Family::kAny, CopyFileCases},
      {"copy_onto_itself_says_file_exists", Family::k95, CopyOntoItself95},
      {"copy_onto_itself_is_a_sharing_violation", Family::kNt, CopyOntoItselfNt},
      {"delete_file_cases", Family::kAny, DeleteFileCases},
      {"directory_cases", Family::kAny, DirectoryCases},
      {"move_file_cases", Family::kAny, MoveFileCases},
      {"find_patterns", Family::kAny, FindPatterns},
      {"open_modes_read_write_and_seek", Family::kAny, OpenModes},
      {"disk_free_space_capped", Family::k95, DiskFreeSpace95},
      {"disk_free_space", Family::kNt, DiskFreeSpaceNt},
      {"windows_system_and_current_directories", Family::kAny, DirectoriesOfWindows},
  };
  return cases;
}

const std::vector<Case>& RiffCases() {
  static const std::vector<Case> cases = {
      {"descend_without_flags_and_ascend_over_padding", Family::kAny, DescendWithoutFlags},
      {"find_riff_list_and_chunk", Family::kAny, FindFlags},
      // Wine searches on to the end of the file.
      {"search_stops_at_the_end_of_the_parent", Family::kAny, SearchStopsAtParentEnd, true},
      {"huge_sizes_end_the_search_and_read_short", Family::kAny, HugeSizesAndTruncation},
      {"file_too_short_for_a_header", Family::kAny, TooShortForAHeader},
      {"seek_from_the_end_goes_backwards", Family::kAny, SeekQuirks},
  };
  return cases;
}

const std::vector<Case>& ServiceCases() {
  static const std::vector<Case> cases = {
      {"no_service_manager_on_windows_95", Family::k95, NoServiceManager95},
      {"create_open_any_case_and_exists", Family::kNt, CreateOpenAndExists},
      {"create_argument_errors", Family::kNt, CreateArgumentErrors},
      {"config_goes_to_the_registry_and_no_change_keeps_it", Family::kNt, ConfigGoesToTheRegistry},
      // Wine writes ImagePath as REG_SZ.
      {"image_path_is_expand_sz", Family::kNt, ImagePathIsExpandSz, true},
      {"disabled_and_stopped_services", Family::kNt, DisabledAndStoppedServices},
      {"delete_marks_until_the_last_handle_closes", Family::kNt, DeleteMarksUntilTheLastHandle},
  };
  return cases;
}

const std::vector<Case>& FileQueueCases() {
  static const std::vector<Case> cases = {
      {"empty_queue_commits", Family::kNt, EmptyQueueCommits},
      {"copies_rename_and_create_directories", Family::kNt, CopiesNameAndCreateDirectories},
      {"no_overwrite_keeps_an_existing_target", Family::kNt, NoOverwriteKeepsTheTarget},
      {"missing_source_is_skipped", Family::kNt, MissingSourceIsSkipped},
      {"in_use_target_waits_for_the_restart", Family::kNt, InUseTargetWaitsForTheRestart},
  };
  return cases;
}

}  // namespace conformance
