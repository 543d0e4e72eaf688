// Pasting frames of one demo into another, window-free: demos written by
// the fixture builder, pasted with pasteRun, and the new demo judged by its
// model and by decoding every frame of its recording.
#include "studio/capture/demo_paste.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/press_objects.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Frame f of demo d is one colour over its 40 x 30 crop at (8, 6) of a 64 x 48 screen.
uint32_t colourOf(int d, int f) { return static_cast<uint32_t>(((d * 90 + 20) << 16) | ((f * 23 + 5) % 256) << 8 | 77); }

DemoFixture fixture(int d, int frames, int keyEvery) {
  DemoFixture fx;
  fx.crop[0] = 8, fx.crop[1] = 6, fx.crop[2] = 40, fx.crop[3] = 30;
  fx.keyEvery = keyEvery;
  fx.frames.resize(static_cast<size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    fx.frames[static_cast<size_t>(f)].name = "d" + std::to_string(d) + "f" + std::to_string(f);
    fx.frames[static_cast<size_t>(f)].instrs = {InstrRec{0, -1, 'L', {10, 10, 20, 20}}};
  }
  fx.row = [d](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 64; ++x) {
      // Only the crop changes from frame to frame; a corner of the screen outside it does too.
      const bool inCrop = x >= 8 && x < 48 && y >= 6 && y < 36;
      const uint32_t c = inCrop ? colourOf(d, f) : (x < 4 && y < 4 ? 0x010101u * static_cast<uint32_t>(f) : 0);
      bgr[x * 3] = c & 0xFF, bgr[x * 3 + 1] = (c >> 8) & 0xFF, bgr[x * 3 + 2] = (c >> 16) & 0xFF;
    }
  };
  return fx;
}

class Paste : public testing::Test {
 protected:
  void SetUp() override {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    ::mkdir((dir.path() + "/Demos").c_str(), 0777);
  }
  // The frames of a demo as (demo, frame) colour sources, read by decoding
  // the centre pixel of every frame; also its frame names.
  std::vector<uint32_t> colours(const std::string& name, std::vector<std::string>* names = nullptr) {
    std::vector<uint32_t> out;
    EXPECT_EQ(demoDataRead(demoFilePath(name, ".DMD")), 1);
    const int32_t rect[4] = {0, 0, 40, 30};
    std::vector<unsigned char> px(40 * 30 * 3);
    for (int32_t f = 0; f < gFrameCount; ++f) {
      EXPECT_EQ(gFrameData[f].frameId, f);
      EXPECT_GE(demoRecframeCroppedToMembuff(demoFilePath(name, ".DMR").c_str(), gFrameData[f].imageRefA,
                                             gFrameData[f].imageRefB, rect, px.data(), 3, 1), 0);
      const unsigned char* p = &px[(15 * 40 + 20) * 3];
      out.push_back(static_cast<uint32_t>(p[2] << 16 | p[1] << 8 | p[0]));
      char text[DEMO_TEXT_LEN];
      if (names != nullptr) names->push_back(demoGetTextValue(static_cast<int32_t>(gFrameData[f].nameText), text) == 0 ? text : "");
    }
    return out;
  }
  TempDir dir;
};

struct Case {
  const char* what;
  int intoFrames, fromFrames, keyEvery;
  int64_t from, to, follow;
  int joins;  // 1 when F is the receiving demo's last frame
  const char* presses;  // the initials of Into and From when they have a press side file
};

TEST_F(Paste, NewDemoHoldsTheFramesInOrder) {
  const Case cases[] = {
      {"middle", 6, 5, 0, 1, 3, 2, 2, "IF"},
      {"after the last frame makes one join", 6, 5, 0, 0, 4, 5, 1, "F"},
      {"one frame", 6, 5, 2, 3, 3, 0, 2, ""},
      {"key records every frame", 4, 4, 1, 0, 3, 1, 2, "I"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, c.intoFrames, c.keyEvery)));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, c.fromFrames, c.keyEvery)));
    for (const char* name : {"Into", "From"}) {
      std::remove(demoFilePath(name, ".DMA").c_str());
      if (std::strchr(c.presses, name[0]) != nullptr) {
        ASSERT_TRUE(appendPressLine(demoFilePath(name, ".DMA"), {1, "push button", {1, 1, 1, 1}, name}));
      }
    }
    const std::string made = std::string("New ") + c.what;
    ASSERT_EQ(pasteRun({"Into", "From", c.from, c.to, c.follow, made.substr(0, 60)}), PASTE_DONE);
    // The new demo's side file holds Into's presses, then From's; none when neither has one.
    std::vector<PressObject> presses;
    const std::string side = demoFilePath(made.substr(0, 60), ".DMA");
    ASSERT_TRUE(readPressFile(side, &presses));
    std::string initials;
    for (const PressObject& p : presses) initials += p.name[0];
    EXPECT_EQ(initials, c.presses);
    struct stat st;
    EXPECT_EQ(::stat(side.c_str(), &st) == 0, *c.presses != '\0');
    std::vector<uint32_t> want;
    std::vector<std::string> wantNames;
    for (int f = 0; f <= c.follow; ++f) want.push_back(colourOf(1, f)), wantNames.push_back("d1f" + std::to_string(f));
    for (int64_t f = c.from; f <= c.to; ++f) want.push_back(colourOf(2, int(f))), wantNames.push_back("d2f" + std::to_string(f));
    for (int f = int(c.follow) + 1; f < c.intoFrames; ++f) want.push_back(colourOf(1, f)), wantNames.push_back("d1f" + std::to_string(f));
    std::vector<std::string> names;
    EXPECT_EQ(colours(made.substr(0, 60), &names), want);
    EXPECT_EQ(names, wantNames);
    // Every frame keeps its one click, moved into crop coordinates, leading to the next frame.
    ASSERT_EQ(gInstrCount, gFrameCount);
    for (int32_t i = 0; i < gInstrCount; ++i) {
      EXPECT_EQ(gInstrData[i].frame, i);
      EXPECT_EQ(gInstrData[i].v[0], 2);
      EXPECT_EQ(gInstrData[i].v[1], 4);
    }
    // The inputs are unchanged and no temporary demo is left.
    EXPECT_EQ(colours("Into").size(), static_cast<size_t>(c.intoFrames));
    EXPECT_EQ(removeInterruptedPastes(), 0);
  }
}

// Every pixel of every pasted frame equals the source frame's crop, whether
// the records are copied from the source as they stand (changes within the
// crop, or a crop that is the whole screen) or rebuilt from the screen.
TEST_F(Paste, PastedFramesEqualTheirSourcesPixelForPixel) {
  struct Layout {
    const char* what;
    int32_t crop[4];
    int changeX0;  // changes span columns changeX0 .. 63 of a changing band of rows
  };
  const Layout layouts[] = {{"whole screen", {0, 0, 64, 48}, 0},
                            {"changes within the crop", {8, 6, 40, 30}, 12},
                            {"changes across the crop's edge", {8, 6, 40, 30}, 0}};
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.what);
    const auto make = [&](int d) {
      DemoFixture fx;
      std::copy(l.crop, l.crop + 4, fx.crop);
      fx.keyEvery = 4;
      fx.frames.resize(9);
      const int x0 = l.changeX0;
      fx.row = [d, x0](int32_t f, int32_t y, unsigned char* bgr) {
        for (int x = 0; x < 64; ++x) {
          const bool band = x >= x0 && x < 44 && y >= 10 + f % 3 * 4 && y < 20 + f % 3 * 4;
          bgr[x * 3] = static_cast<unsigned char>(band ? f * 29 + d : x), bgr[x * 3 + 1] = static_cast<unsigned char>(y * 5 + d),
          bgr[x * 3 + 2] = static_cast<unsigned char>(x ^ y ^ (band ? f : 0));
        }
      };
      return fx;
    };
    const auto frames = [&](const std::string& name) {
      EXPECT_EQ(demoDataRead(demoFilePath(name, ".DMD")), 1);
      std::vector<std::vector<unsigned char>> out;
      // The pasted demo's recording is in crop coordinates.
      const bool joined = name == "Joined";
      const int32_t at[4] = {joined ? 0 : l.crop[0], joined ? 0 : l.crop[1], l.crop[2], l.crop[3]};
      for (int32_t f = 0; f < gFrameCount; ++f) {
        std::vector<unsigned char> px(static_cast<size_t>(l.crop[2] * l.crop[3] * 3));
        EXPECT_GE(demoRecframeCroppedToMembuff(demoFilePath(name, ".DMR").c_str(), gFrameData[f].imageRefA,
                                               gFrameData[f].imageRefB, at, px.data(), 3, 1), 0);
        out.push_back(px);
      }
      return out;
    };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", make(1)));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "From", make(2)));
    ASSERT_EQ(pasteRun({"Into", "From", 2, 6, 4, "Joined"}), PASTE_DONE);
    const auto into = frames("Into"), from = frames("From");
    std::vector<std::vector<unsigned char>> want(into.begin(), into.begin() + 5);
    want.insert(want.end(), from.begin() + 2, from.begin() + 7);
    want.insert(want.end(), into.begin() + 5, into.end());
    const auto got = frames("Joined");
    ASSERT_EQ(got.size(), want.size());
    for (size_t f = 0; f < got.size(); ++f) EXPECT_TRUE(got[f] == want[f]) << "frame " << f;
    ASSERT_EQ(pal_DeleteDirectory(demoFolderPath("Joined").c_str(), 2), 1);
  }
}

TEST_F(Paste, FrameNumbersStartingAboveZeroBoundTheFollowingFrame) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, 6, 0)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, 3, 0)));
  // Renumber the receiving demo's frames 10..15, as after earlier removals.
  ASSERT_EQ(demoDataRead(demoFilePath("Into", ".DMD")), 1);
  for (int32_t f = 0; f < gFrameCount; ++f) gFrameData[f].frameId = 10 + f;
  ASSERT_EQ(demoDataWrite(demoFilePath("Into", ".DMD"), DMD_VERSION), 1);
  EXPECT_EQ(pasteRun({"Into", "From", 0, 0, 3, "X"}), PASTE_UNKNOWN_FOLLOW);
  EXPECT_EQ(pasteRun({"Into", "From", 0, 2, 12, "X"}), PASTE_DONE);
  EXPECT_EQ(colours("X"), (std::vector<uint32_t>{colourOf(1, 0), colourOf(1, 1), colourOf(1, 2), colourOf(2, 0),
                                                 colourOf(2, 1), colourOf(2, 2), colourOf(1, 3), colourOf(1, 4),
                                                 colourOf(1, 5)}));
}

TEST_F(Paste, RefusalsLeaveEveryDemoAsItWas) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, 4, 0)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, 3, 0)));
  struct Refusal {
    PasteRequest q;
    int status;
  };
  const Refusal refusals[] = {
      {{"Into", "From", 0, 1, 9, "N"}, PASTE_UNKNOWN_FOLLOW},
      {{"Into", "From", 5, 1, 1, "N"}, PASTE_BAD_FROM},
      {{"Into", "From", 0, 7, 1, "N"}, PASTE_BAD_TO},
      {{"Into", "From", 2, 1, 1, "N"}, PASTE_TO_BEFORE_FROM},
      {{"Into", "From", 0, 1, 1, "N?"}, PASTE_BAD_NAME},
      {{"Into", "From", 0, 1, 1, "From"}, PASTE_NAME_USED},
      {{"Into", "From", 0, 1, 1, "Into"}, PASTE_NAME_USED},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.q.newName + " " + std::to_string(r.status));
    EXPECT_EQ(pasteRun(r.q), r.status);
    EXPECT_EQ(gPasteStatus.load(), r.status);
  }
  DemoListEntry list[DEMO_LIST_CAP];
  EXPECT_EQ(listDemos(list), 2);
  EXPECT_EQ(colours("Into").size(), 4u);
}

// Loads a demo's data file, changes the model and writes it back.
void rewriteModel(const std::string& name, const std::function<void()>& change) {
  ASSERT_EQ(demoDataRead(demoFilePath(name, ".DMD")), 1);
  change();
  ASSERT_EQ(demoDataWrite(demoFilePath(name, ".DMD"), DMD_VERSION), 1);
}

TEST_F(Paste, HomeFrameIsFoundByItsNumberAndKeepsItsFrame) {
  const struct {
    const char* what;
    int32_t firstId, homeId;
    int64_t follow;
    int32_t wantHome;  // index (and number) in the new demo
  } cases[] = {
      {"numbers from 10, home before the pasted frames", 10, 11, 13, 1},
      {"numbers from 10, home after them", 10, 14, 11, 6},
      {"home after the pasted frames", 0, 4, 1, 6},
      {"home on the following frame", 0, 2, 2, 2},
      {"home that no frame has", 0, 40, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, 6, 0)));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, 3, 0)));
    rewriteModel("Into", [&] {
      for (int32_t f = 0; f < gFrameCount; ++f) gFrameData[f].frameId = c.firstId + f;
      gHeaderData[2] = c.homeId;
    });
    ASSERT_EQ(pasteRun({"Into", "From", 0, 1, c.follow, "Homed"}), PASTE_DONE);
    ASSERT_EQ(demoDataRead(demoFilePath("Homed", ".DMD")), 1);
    EXPECT_EQ(gHeaderData[2], c.wantHome);
    ASSERT_EQ(pal_DeleteDirectory(demoFolderPath("Homed").c_str(), 2), 1);
  }
}

TEST_F(Paste, FramesWithoutNameOrNoteGetNoTextRecord) {
  DemoFixture into = fixture(1, 4, 0), from = fixture(2, 2, 0);
  const char* intoTexts[4][2] = {{"a0", ""}, {"", "n1"}, {"a2", ""}, {"", ""}};
  const char* fromTexts[2][2] = {{"", ""}, {"b1", "m1"}};
  for (int f = 0; f < 4; ++f) into.frames[f].name = intoTexts[f][0], into.frames[f].note = intoTexts[f][1];
  for (int f = 0; f < 2; ++f) from.frames[f].name = fromTexts[f][0], from.frames[f].note = fromTexts[f][1];
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", into));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "From", from));
  ASSERT_EQ(pasteRun({"Into", "From", 0, 1, 1, "Texts"}), PASTE_DONE);
  ASSERT_EQ(demoDataRead(demoFilePath("Texts", ".DMD")), 1);
  const char* want[6][2] = {{"a0", ""}, {"", "n1"}, {"", ""}, {"b1", "m1"}, {"a2", ""}, {"", ""}};
  ASSERT_EQ(gFrameCount, 6);
  for (int32_t f = 0; f < 6; ++f) {
    char name[DEMO_TEXT_LEN], note[DEMO_TEXT_LEN];
    demoGetTextValue(static_cast<int32_t>(gFrameData[f].nameText), name);
    demoGetTextValue(static_cast<int32_t>(gFrameData[f].noteText), note);
    EXPECT_STREQ(name, want[f][0]) << f;
    EXPECT_STREQ(note, want[f][1]) << f;
    EXPECT_EQ(gFrameData[f].noteText > 0, want[f][1][0] != '\0') << f;  // how the editor tells a note
  }
  int used = 0;
  for (int32_t t = DEMO_FIRST_TEXT_REC; t < gHighestUsedTextRec; ++t) used += gTxtRecData[t][0] != 0 ? 1 : 0;
  EXPECT_EQ(used, 6);  // five names and notes, and the crop
}

TEST_F(Paste, PasteThatWouldOverflowATableIsRefusedBeforeAnythingIsWritten) {
  // Into and From have two frames, each with a name and a click; Into's
  // frame 0 is followed by From's two frames, then Into's frame 1.
  const struct {
    const char* what;
    int32_t frames;  // Into's frame count
    int32_t instrs;  // further instructions on Into's frame 0
    int32_t texts;   // further text records in use in Into
    int status;
  } cases[] = {
      {"frames one over", DEMO_FRAME_CAP - 1, 0, 0, PASTE_TOO_BIG},
      {"instructions one over", 2, DEMO_INSTR_CAP - 3, 0, PASTE_TOO_BIG},
      {"instructions just fit", 2, DEMO_INSTR_CAP - 4, 0, PASTE_DONE},
      {"texts one over", 2, 0, DEMO_LAST_NEW_TEXT_REC - DEMO_FIRST_TEXT_REC + 1 - 4, PASTE_TOO_BIG},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, 2, 0)));
    ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, 2, 0)));
    rewriteModel("Into", [&] {
      const FrameRec last = gFrameData[1];
      for (int32_t f = 2; f < c.frames; ++f) gFrameData[f] = FrameRec{-1, f, last.imageRefA, last.imageRefB, 0, -999, -999};
      gFrameCount = c.frames;
      for (int32_t i = 0; i < c.instrs; ++i) gInstrData[gInstrCount++] = InstrRec{0, -1, 'T', {100, 0, 0, 0}};
      for (int32_t t = DEMO_FIRST_TEXT_REC, added = 0; added < c.texts; ++t) {
        if (gTxtRecData[t][0] != 0) continue;
        gTxtRecData[t][0] = 1, ++added;
        gHighestUsedTextRec = std::max(gHighestUsedTextRec, t + 1);
      }
    });
    EXPECT_EQ(pasteRun({"Into", "From", 0, 1, 0, "Big"}), c.status);
    struct stat st;
    EXPECT_EQ(::stat(demoFolderPath("Big").c_str(), &st) == 0, c.status == PASTE_DONE);
    if (c.status == PASTE_DONE) {
      ASSERT_EQ(demoDataRead(demoFilePath("Big", ".DMD")), 1);
      EXPECT_EQ(gInstrCount, DEMO_INSTR_CAP);
      ASSERT_EQ(pal_DeleteDirectory(demoFolderPath("Big").c_str(), 2), 1);
    }
    EXPECT_EQ(removeInterruptedPastes(), 0);
  }
}

TEST_F(Paste, PasteStoppedByTheProgramsEndRemovesEverythingItMade) {
  ASSERT_TRUE(writeDemoFolder(dir.path(), "Into", fixture(1, 6, 0)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "From", fixture(2, 3, 0)));
  ASSERT_EQ(pasteCheck({"Into", "From", 0, 2, 3, "Stopped"}), 1);
  EXPECT_EXIT(
      {
        pal_RequestStop();
        startPasteWorker({"Into", "From", 0, 2, 3, "Stopped"});
        const bool stopped = pal_StopWorkers(5000, nullptr);
        DemoListEntry list[DEMO_LIST_CAP];
        struct stat st;
        std::exit(stopped && listDemos(list) == 2 && ::stat(demoFolderPath(".Stopped.pasting").c_str(), &st) != 0 &&
                          removeInterruptedPastes() == 0
                      ? 0
                      : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(Paste, TemporaryNamesAreNoDemoNamesAndAreClearedAtStart) {
  for (int i = 0; i < 4; ++i) {
    const std::string name = pasteTemporaryName(1700000000, i);
    EXPECT_NE(demoNameCode(name.c_str()), 1) << name;
    EXPECT_TRUE(isPasteTemporaryName(name));
  }
  EXPECT_FALSE(isPasteTemporaryName("tmp_12_tmp"));  // an author may call a demo this
  EXPECT_FALSE(isPasteTemporaryName("tmp_1a_tmp?"));
  // A paste cut short: complete temporary demos that the list never shows.
  ASSERT_TRUE(writeDemoFolder(dir.path(), pasteTemporaryName(1700000000, 0), fixture(1, 2, 0)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), pasteTemporaryName(1700000000, 3), fixture(1, 2, 0)));
  ASSERT_TRUE(writeDemoFolder(dir.path(), "tmp_1700000000_tmp", fixture(1, 2, 0)));
  DemoListEntry list[DEMO_LIST_CAP];
  ASSERT_EQ(listDemos(list), 1);
  EXPECT_STREQ(list[0].name, "tmp_1700000000_tmp");
  EXPECT_EQ(removeInterruptedPastes(), 2);
  struct stat st;
  EXPECT_NE(::stat(demoFolderPath(pasteTemporaryName(1700000000, 0)).c_str(), &st), 0);
  EXPECT_EQ(::stat(demoFolderPath("tmp_1700000000_tmp").c_str(), &st), 0);
}

}  // namespace
