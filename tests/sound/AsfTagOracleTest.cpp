// ASF tags of Windows Media files made by ffmpeg, read by the engine's tag
// reader, compared with what ffprobe reads from the same files.
#include "SoundTestSupport.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/system/system_file.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace asf_tag_oracle_test {

namespace {

std::map<std::string, std::string> FfprobeTags(const std::string &path) {
  std::map<std::string, std::string> tags;
  FILE *pipe = popen(("ffprobe -v error -show_entries format_tags -of default=nw=1 '" + path + "'").c_str(), "r");
  if (!pipe) return tags;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t equals = text.find('=');
    if (text.rfind("TAG:", 0) == 0 && equals != std::string::npos)
      tags[text.substr(4, equals - 4)] = text.substr(equals + 1);
  }
  pclose(pipe);
  return tags;
}

std::string TagText(OsndTag *tags, const char *name) {
  const void *value = nullptr;
  int length = 0;
  if (!OsndTag_Find(tags, name, OSND_TAG_ASF, &value, &length) || !value || length <= 0) return "(missing)";
  const char *text = static_cast<const char *>(value);
  return std::string(text, strnlen(text, size_t(length)));
}

}  // namespace

TEST(AsfTagOracle, ContentAndExtendedDescriptionsMatchFfprobe) {
  const std::string wma = TestFile("asf", "tagged.wma");
  ASSERT_TRUE(RunQuiet("ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 -ac 2 "
                       "-metadata title='Grüße – 𝄞 Title' -metadata artist='The Artist' -metadata album='An Album' "
                       "-metadata copyright='(c) Us' -metadata comment='A comment' -metadata genre=Ambient "
                       "-c:a wmav2 -b:a 64k " + wma));
  const auto expected = FfprobeTags(wma);
  ASSERT_EQ(expected.count("title"), 1u);
  SystemFileHandle *file = SystemFile_Open(wma.c_str(), SYSTEMFILE_DISK, 0);
  ASSERT_NE(file, nullptr);
  OsndTag *tags = nullptr;
  ASSERT_TRUE(OsndTag_ReadTags(file, &tags));
  SystemFile_Close(file);
  // ffprobe's names for the description fields and the extended attributes.
  const std::pair<const char *, const char *> names[] = {
      {"title", "TITLE"},         {"artist", "AUTHOR"},     {"copyright", "COPYRIGHT"},
      {"comment", "DESCRIPTION"}, {"album", "WM/AlbumTitle"}, {"genre", "WM/Genre"}};
  for (const auto &[theirs, ours] : names) {
    ASSERT_EQ(expected.count(theirs), 1u) << theirs;
    EXPECT_EQ(TagText(tags, ours), expected.at(theirs)) << ours;
  }
  if (tags) OsndTag_FreeList(&tags);

  // A header whose objects claim sizes below their own header or past the
  // file's end gives what could be read and no hang.
  std::ifstream in(wma, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  for (uint64_t claim : {uint64_t(0), uint64_t(23), uint64_t(1) << 40}) {
    std::string broken = bytes;
    for (int i = 0; i < 8; ++i) broken[30 + 16 + i] = char((claim >> (8 * i)) & 0xFF);  // the first sub-object
    const std::string path = TestFile("asf", "broken.wma");
    std::ofstream(path, std::ios::binary) << broken;
    SystemFileHandle *f = SystemFile_Open(path.c_str(), SYSTEMFILE_DISK, 0);
    ASSERT_NE(f, nullptr);
    OsndTag *partial = nullptr;
    EXPECT_TRUE(OsndTag_ReadTags(f, &partial));
    SystemFile_Close(f);
    if (partial) OsndTag_FreeList(&partial);
  }
  RemoveTestFiles("asf");
}

}  // namespace asf_tag_oracle_test
