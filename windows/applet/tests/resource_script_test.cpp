// The Windows resource script of the applet must carry the same icon number and strings as the data
// the applet and the simulated PC use.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "applet/resources.h"

namespace {

struct Script {
  std::map<int, std::string> icons;    // id -> file name
  std::map<int, std::string> strings;  // id -> text
};

Script ReadScript(const char* path) {
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  Script script;
  const std::regex icon(R"re(^\s*(\d+)\s+ICON\s+"([^"]*)"\s*$)re");
  const std::regex entry(R"re(^\s*(\d+)\s*,?\s*"((?:[^"]|"")*)"\s*$)re");
  bool inTable = false;
  std::string line;
  std::smatch m;
  while (std::getline(file, line)) {
    if (std::regex_match(line, m, icon)) script.icons[std::stoi(m[1])] = m[2];
    if (line.find("STRINGTABLE") != std::string::npos) inTable = true;
    if (inTable && line.find("END") != std::string::npos) inTable = false;
    if (inTable && std::regex_match(line, m, entry)) script.strings[std::stoi(m[1])] = m[2];
  }
  return script;
}

std::string Ascii(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    EXPECT_LT(c, 0x80) << "the script holds ASCII texts only";
    out.push_back(static_cast<char>(c));
  }
  return out;
}

TEST(ResourceScript, AgreesWithTheAppletsResources) {
  const Script script = ReadScript(J6AUDIO_RC_PATH);

  ASSERT_EQ(script.icons.size(), 1u);
  EXPECT_EQ(script.icons.count(j6audio::kIconApplet), 1u);
  EXPECT_EQ(script.icons.begin()->second, "j6audio.ico");

  std::map<int, std::string> expected;
  for (const auto& s : j6audio::StringTable()) expected[s.id] = Ascii(s.text);
  EXPECT_EQ(script.strings, expected);
}

}  // namespace
