// The table of contents a CD stream reports (its "CD_TOC" tag) against what
// cd-info reads from the CUE sheet the test drive plays: every track start
// and the lead-out, from the drive's full TOC and from its plain one.
#include "CdDriveFakeSupport.h"
#include "SoundTestSupport.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/format/format_tag.h"

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace cd_toc_oracle_test {

namespace {

struct Entry {
  int minutes, seconds, frames;
  bool operator==(const Entry &o) const { return minutes == o.minutes && seconds == o.seconds && frames == o.frames; }
};

std::string Run(const std::string &command) {
  std::string out;
  if (FILE *pipe = popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) out += line;
    pclose(pipe);
  }
  return out;
}

// Track starts and the lead-out ("170:") as cd-info lists them.
std::vector<Entry> CdInfo(const std::string &cue) {
  const std::string out = Run("cd-info --no-header --no-device-info --cue-file " + cue + " 2>/dev/null");
  std::vector<Entry> list;
  const std::regex row(R"(^\s*\d+: (\d\d):(\d\d):(\d\d)\s+\d+ (audio|data|leadout))");
  std::smatch m;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (std::regex_search(line, m, row)) list.push_back({std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3])});
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return list;
}

class CdTocOracle : public CdDriveTest {
 protected:
  CdTocOracle() : CdDriveTest("cdtoc") {}
};

TEST_F(CdTocOracle, TheDiscRecordListsWhatCdInfoReadsFromTheCueSheet) {
  const std::vector<std::vector<FakeCdTrack>> discs = {
      {{true, 4500}, {true, 1234}, {true, 77}, {true, 9000}},
      {{true, 3000}, {true, 4501}, {false, 2000}},
  };
  for (size_t k = 0; k < discs.size(); ++k) {
    FakeCdDrive drive(Folder(), discs[k], uint32_t(k + 7));
    const std::vector<Entry> expected = CdInfo(drive.cuePath);
    ASSERT_EQ(expected.size(), discs[k].size() + 1) << "cd-info did not list the disc";
    for (bool full : {true, false}) {
      SCOPED_TRACE(std::string(full ? "full" : "plain") + " TOC of disc " + std::to_string(k));
      drive.fullToc = full;
      // Information only: the table is read, no track is opened.
      OSND_STREAM *s = OSND_Stream_Open("D:*!", 0, 0, 0);
      ASSERT_NE(s, nullptr);
      EXPECT_EQ(OSND_GetError(), 0);
      // The drive is the stream's until it is closed.
      OSND_STREAM *other = OSND_Stream_Open("D:", 0, 0, 0);
      ASSERT_NE(other, nullptr);
      EXPECT_EQ(other->formatState, nullptr);
      EXPECT_TRUE(OSND_Stream_Close(other));
      const void *value = nullptr;
      int length = 0;
      ASSERT_TRUE(OsndTag_Find(s->tags, "CD_TOC", OSND_TAG_CD, &value, &length));
      ASSERT_EQ(length, int(sizeof(CddaDiscRecord)));
      CddaDiscRecord disc;
      std::memcpy(&disc, value, sizeof disc);
      EXPECT_STREQ(disc.id, "TOC");
      ASSERT_EQ(disc.count, int(discs[k].size()));
      for (int i = 0; i <= disc.count; ++i) {
        const Entry got{disc.minutes[i], disc.seconds[i], disc.frames[i]};
        EXPECT_EQ(got, expected[size_t(i)]) << "entry " << i << ": " << got.minutes << ":" << got.seconds << ":"
                                            << got.frames;
      }
      EXPECT_EQ(s->dataLength, 0u);  // nothing opened
      ASSERT_TRUE(OSND_Stream_Close(s));
    }
  }
}

}  // namespace

}  // namespace cd_toc_oracle_test
