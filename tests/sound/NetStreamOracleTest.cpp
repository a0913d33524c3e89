// Stream titles of an ICY server on 127.0.0.1 as the engine reports them,
// compared with what mpg123 reports from the same server.
#include "HttpTestServerSupport.h"
#include "sound/include/osnd.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/source/source_net.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace net_stream_oracle_test {

namespace {

namespace fs = std::filesystem;
using Titles = std::vector<std::pair<std::string, std::string>>;

bool OnMetadata(char *name, char *value, void *user) {
  static_cast<Titles *>(user)->emplace_back(name, value);
  return true;
}

// The (artist, title) pairs in mpg123's "ICY-META: StreamTitle='...';" lines,
// split the way a stream title is: artist, " - ", title.
Titles Mpg123Titles(const std::string &url) {
  Titles titles;
  FILE *pipe = popen(("timeout 20 mpg123 -t -v '" + url + "' 2>&1").c_str(), "r");
  if (!pipe) return titles;
  char line[4096];
  while (std::fgets(line, sizeof(line), pipe)) {
    const std::string text(line);
    const size_t at = text.find("StreamTitle='");
    if (text.find("ICY-META") == std::string::npos || at == std::string::npos) continue;
    const size_t start = at + 13, end = text.find("';", start);
    const std::string value = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const size_t dash = value.find(" - ");
    titles.emplace_back(value.substr(0, dash), dash == std::string::npos ? "" : value.substr(dash + 3));
  }
  pclose(pipe);
  return titles;
}

}  // namespace

TEST(NetStreamOracle, IcyTitlesMatchMpg123) {
  const fs::path folder = fs::path(QMV_BINARY_DIR) / "test-home" / ("net-oracle-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string wav = (folder / "tone.wav").string(), mp3 = (folder / "tone.mp3").string();
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 6 sine 500 sine 700 gain -3 2>/dev/null && "
                         "lame --quiet -b 128 " + wav + " " + mp3)
                            .c_str()),
            0);
  std::ifstream in(mp3, std::ios::binary);
  const std::string audio((std::istreambuf_iterator<char>(in)), {});
  fs::remove_all(folder);
  const std::vector<std::string> blocks = {"StreamTitle='The Band - Opening Song';StreamUrl='http://x/1';",
                                           "StreamTitle='Solo Voice - Second, With Comma';",
                                           "StreamTitle='Third Artist - Third Song';", ""};
  const std::string body = IcyBody(audio, 8192, blocks);
  HttpTestServer server([&](const std::string &) {
    HttpReply r;
    r.head = OkHead({"Content-Type: audio/mpeg", "icy-metaint:8192", "icy-name:Oracle FM"}, "ICY 200 OK");
    r.body = body;
    return r;
  });

  const Titles expected = Mpg123Titles(server.Url("/live"));
  ASSERT_GE(expected.size(), 6u) << "mpg123 reported too few titles";

  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  // Set the callback before any audio is read: the open reads the stream's
  // first frames, and its first title may lie among them.
  OSND_STREAM *s = OSND_Stream_Open(server.Url("/live").c_str(), 0, 0, 0);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  Titles events;
  ASSERT_TRUE(OSND_Stream_Net_SetMetadataCallback(s, OnMetadata, &events));
  std::vector<uint8_t> piece(16384);
  const auto start = std::chrono::steady_clock::now();
  while (!s->sourceEnded && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
    OsndStream_Decode(s, piece.data(), int(piece.size()), nullptr);
  OSND_Stream_Close(s);
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);

  Titles heard;  // (artist, title) per block, as the callbacks came
  for (const auto &[name, value] : events) {
    if (name == "ARTIST") heard.emplace_back(value, "");
    if (name == "TITLE" && !heard.empty()) heard.back().second = value;
  }
  // The open may have read the first block before the callback was set.
  ASSERT_GE(heard.size() + 1, expected.size());
  ASSERT_LE(heard.size(), expected.size());
  EXPECT_TRUE(std::equal(heard.rbegin(), heard.rend(), expected.rbegin()));
}

}  // namespace net_stream_oracle_test
