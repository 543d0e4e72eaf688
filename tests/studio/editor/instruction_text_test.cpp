// The instruction lines of the Advanced tab, their check and commit, and the
// values of the Standard tab, on a small hand-built demo.
#include "studio/editor/instruction_text.h"

#include "demo/demo_model.h"
#include "studio/editor/editor_state.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Fields = std::vector<int32_t>;
Fields fields(const std::vector<InstrRec>& rs) {
  Fields all;
  for (const InstrRec& r : rs) all.insert(all.end(), {r.frame, r.target, r.type, r.v[0], r.v[1], r.v[2], r.v[3]});
  return all;
}
Fields table() { return fields(std::vector<InstrRec>(gInstrData, gInstrData + gInstrCount)); }

class InstructionText : public testing::Test {
 protected:
  // Frame numbers 470, 472, 0, 472 (a repeated number names its first frame); frame 2 is edited.
  void SetUp() override {
    resetRuntime();
    for (int64_t id : {470, 472, 0, 472}) gFrameData[gFrameCount++] = FrameRec{-1, id, 0, 0, 0, -999, -999};
    gEditorFrame = 2;
    gEditCount = 0;
  }
  void TearDown() override { resetRuntime(); }
};

const struct {
  const char* line;
  int result;
  InstrRec record;  // for INSTR_OK
} kParseCases[] = {
    {"t 891", INSTR_OK, {2, -1, 'T', {891}}}, {"T 0", INSTR_OK, {2, -1, 'T', {0}}},
    {"K 0", INSTR_OK, {2, -1, 'K', {0}}}, {"#9 K  13 >470", INSTR_OK, {2, 0, 'K', {13}}},
    {"120,73,267,97 L >472", INSTR_OK, {2, 1, 'L', {120, 73, 267, 97}}},
    {"120,73,267,97 L > 0", INSTR_OK, {2, 2, 'L', {120, 73, 267, 97}}},
    {"-5,3,10,20 M", INSTR_OK, {2, -1, 'M', {-5, 3, 10, 20}}}, {"+5,3,10,20 u", INSTR_OK, {2, -1, 'U', {5, 3, 10, 20}}},
    {"e 3, -4,  10,20", INSTR_OK, {2, -1, 'E', {3, -4, 10, 20}}}, {"T 8388608", INSTR_OK, {2, -1, 'T', {8388608}}},
    {"-8388607,0,8388608,1 R", INSTR_OK, {2, -1, 'R', {-8388607, 0, 8388608, 1}}},
    {"T K", INSTR_ERR_TWO_TYPES, {}}, {"TK,,,,", INSTR_ERR_TWO_TYPES, {}}, {"1,2,3,4,TK", INSTR_ERR_COMMAS, {}},
    {"T 1 >470 >472", INSTR_ERR_TWO_TARGETS, {}}, {"T 1 >", INSTR_ERR_NO_TARGET, {}},
    {"T 1 > x2", INSTR_ERR_NO_TARGET, {}},
    {"T 1 >471", INSTR_ERR_UNKNOWN_FRAME, {}}, {"", INSTR_ERR_NO_TYPE, {}}, {"12 34 >470", INSTR_ERR_NO_TYPE, {}},
    {"T 5, >470", INSTR_ERR_VALUE_COMMA, {}}, {"T", INSTR_ERR_NO_VALUE, {}}, {"T -5", INSTR_ERR_NO_VALUE, {}},
    {"1,2 L", INSTR_ERR_FEW_COMMAS, {}}, {"120,73,267, 97 L", INSTR_ERR_NOT_POSITIVE, {}},
    {"120,73,100,97 L", INSTR_ERR_NOT_POSITIVE, {}}, {"120,97,267,97 L", INSTR_ERR_NOT_POSITIVE, {}},
    {"T 8388609", INSTR_ERR_RANGE, {}}, {"K 99999999999999999999", INSTR_ERR_RANGE, {}},
    {"99999999999999999999,1,2,3 L", INSTR_ERR_RANGE, {}}, {"-8388608,0,1,1 L", INSTR_ERR_RANGE, {}},
    {"1,2,3,99999999999999999999999 R", INSTR_ERR_RANGE, {}}, {"9000000,2,3,4 L", INSTR_ERR_RANGE, {}},
    {"T 1 >99999999999999999999", INSTR_ERR_RANGE, {}},
};

TEST_F(InstructionText, ParsesLinesAndNamesEachFault) {
  for (const auto& c : kParseCases) {
    SCOPED_TRACE(c.line);
    char text[64];
    std::strcpy(text, c.line);
    const InstrRec untouched{-7, -7, -7, {-7, -7, -7, -7}};
    InstrRec r = untouched;
    ASSERT_EQ(convertInstructionLine(&r, text, 2), c.result);
    EXPECT_EQ(fields({r}), fields({c.result == INSTR_OK ? c.record : untouched}));
  }
  char text[] = "t 891 >472 x";  // upper-cased in place
  InstrRec r;
  ASSERT_EQ(convertInstructionLine(&r, text, 2), INSTR_OK);
  EXPECT_STREQ(text, "T 891 >472 X");
  gFrameCount = 0;
  char noFrames[] = "T 1 >0";
  EXPECT_EQ(convertInstructionLine(&r, noFrames, 2), INSTR_ERR_UNKNOWN_FRAME);
}

TEST_F(InstructionText, FormatsAndReadsBack) {
  const struct {
    InstrRec record;
    const char* text;
  } cases[] = {
      {{2, -1, 'T', {891}}, "T 891"}, {{2, -1, 'K', {13}}, "K 13"}, {{2, 2, 'T', {0}}, "T 0 >0"},
      {{2, 1, 'L', {120, 73, 267, 97}}, "120,73,267,97 L >472"}, {{2, 2, 'R', {-5, 3, 10, 20}}, "-5,3,10,20 R >0"},
      {{2, 0, 'U', {0, 0, 1, 1}}, "0,0,1,1 U >470"}, {{2, -1, 'E', {1, 2, 3, 4}}, "1,2,3,4 E"},
      {{2, -1, 'M', {-8388607, 1, 8388608, 2}}, "-8388607,1,8388608,2 M"},
  };
  for (const auto& c : cases) {
    char text[INSTR_LINE_TEXT];
    InstrRec in = c.record, back{};
    ASSERT_EQ(convertInstructionLine(&in, text, 1), INSTR_OK);
    EXPECT_STREQ(text, c.text);
    ASSERT_EQ(convertInstructionLine(&back, text, 2), INSTR_OK);
    EXPECT_EQ(fields({back}), fields({c.record})) << c.text;
  }
  for (InstrRec bad : {InstrRec{2, 4, 'T', {1}}, InstrRec{2, -2, 'L', {0, 0, 1, 1}}, InstrRec{2, -1, 0, {}}}) {
    char text[INSTR_LINE_TEXT] = "stale";
    EXPECT_EQ(convertInstructionLine(&bad, text, 1), -1);
    EXPECT_STREQ(text, "");
  }
}

TEST_F(InstructionText, BuildsAFramesTextWithinItsCapacity) {
  for (InstrRec r : {InstrRec{1, -1, 'T', {891}}, InstrRec{0, -1, 'T', {5}}, InstrRec{1, 1, 'L', {120, 73, 267, 97}},
                     InstrRec{1, -1, 'K', {13}}})
    gInstrData[gInstrCount++] = r;
  const std::string whole = "T 891\n120,73,267,97 L >472\nK 13";
  char text[64];
  ASSERT_EQ(buildFrameInstructionText(1, text, static_cast<int>(whole.size()) + 1, 1), 1);
  EXPECT_EQ(text, whole);
  std::memset(text, '#', sizeof text);
  EXPECT_EQ(buildFrameInstructionText(1, text, static_cast<int>(whole.size()), 0), -1);
  EXPECT_EQ(text[whole.size()], '#');  // nothing written past the capacity
  ASSERT_EQ(buildFrameInstructionText(0, text, 64, 0), 1);  // not rebuilt: still frame 1's list
  EXPECT_EQ(text, whole);
  ASSERT_EQ(buildFrameInstructionText(0, text, 64, 1), 1);
  EXPECT_STREQ(text, "T 5");
  gInstrData[2].target = 9;  // names no frame
  EXPECT_EQ(buildFrameInstructionText(1, text, 64, 1), -1);
}

TEST_F(InstructionText, CheckPassesOverShortLinesButCountsThem) {
  const struct {
    const char *text, *after;  // after: upper-cased where a line was parsed
    size_t records;
    std::vector<int> badLines;
  } cases[] = {
      {"t 891\nzz\n\nbad\n1,2,3,4 l >0\n", "T 891\nzz\n\nBAD\n1,2,3,4 L >0\n", 2, {3}},
      {"", "", 0, {0}}, {"a\n\nbb", "a\n\nbb", 0, {0}},  // a frame keeps one instruction
      {"x\nT\nT 1 >471\nk 9", "x\nT\nT 1 >471\nK 9", 1, {2}}, {"T 1\r\nK 2\r", "T 1\r\nK 2\r", 2, {}},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    const AdvancedTextCheck check = checkAdvancedText(&text[0]);
    EXPECT_EQ(check.records.size(), c.records) << c.text;
    EXPECT_EQ(check.badLines, c.badLines) << c.text;
    EXPECT_EQ(check.errors(), static_cast<int>(c.badLines.size())) << c.text;
    EXPECT_EQ(text, c.after);
  }
}

TEST_F(InstructionText, CheckRefusesWhatNoTableHolds) {
  for (int32_t i = 0; i < DEMO_INSTR_CAP; ++i) gInstrData[i] = InstrRec{i == 0 ? 2 : 0, -1, 'T', {100}};
  std::string lines99;
  for (int i = 0; i < INSTR_WORKING_CAP; ++i) lines99 += "t 1\n";
  const struct {
    std::string text;
    int32_t instrCount;
    const char* refusal;  // empty: accepted
  } cases[] = {
      {"t 5", DEMO_INSTR_CAP, ""},  // replaces the frame's one record
      {"t 5\nt 6", DEMO_INSTR_CAP, "The demo's instruction table cannot hold these instructions."},
      {std::string(INSTR_TEXT_CAP, '\n'), 9, ""},
      {std::string(INSTR_TEXT_CAP + 1, '\n'), 9, "The instructions are longer than 9998 characters."},
      {"t 5\n" + std::string(INSTR_LINE_CAP, 'x'), 9, ""},
      {"t 5\n" + std::string(INSTR_LINE_CAP + 1, 'x'), 9, "An instruction line is longer than 499 characters."},
      {lines99 + std::string(300, '\n'), 9, ""},
      {lines99 + "t 1", 9, "A frame can hold at most 99 instruction lines."},
  };
  for (const auto& c : cases) {
    gInstrCount = c.instrCount;
    std::string text = c.text;
    const AdvancedTextCheck check = checkAdvancedText(&text[0]);
    EXPECT_EQ(check.refusal, c.refusal);
    EXPECT_EQ(check.errors(), static_cast<int>(check.badLines.size()) + (*c.refusal ? 1 : 0));
    if (*c.refusal) {
      EXPECT_TRUE(check.records.empty());
      EXPECT_EQ(text, c.text == "t 5\nt 6" ? "T 5\nT 6" : c.text);  // else refused before any line is upper-cased
    }
  }
}

TEST_F(InstructionText, CommitsInPlaceOrMovesToTheEnd) {
  const InstrRec a{2, -1, 'T', {500}}, other{1, -1, 'L', {1, 2, 3, 4}}, b{2, 1, 'K', {13}}, last{3, -1, 'T', {9}};
  const InstrRec a2{2, -1, 'T', {600}}, c{2, -1, 'E', {5, 6, 7, 8}}, foreign{1, 1, 'K', {13}};
  const struct {
    const char* what;
    std::vector<InstrRec> records;
    int result, edits;
    std::vector<InstrRec> after;  // the table
  } cases[] = {
      {"identical", {a, b}, 1, 0, {a, other, b, last}}, {"one field", {a2, b}, 1, 1, {a2, other, b, last}},
      {"another frame's record", {a2, foreign}, -3, 0, {a, other, b, last}},
      {"one more", {a2, b, c}, 1, 1, {other, last, a2, b, c}}, {"one fewer", {c}, 1, 1, {other, last, c}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    gInstrCount = 0;
    for (const InstrRec& r : {a, other, b, last}) gInstrData[gInstrCount++] = r;
    demoLoadFrameInstructionsToMemory(gEditorFrame);
    gEditCount = 0;
    EXPECT_EQ(commitAdvancedRecords(k.records), k.result);
    EXPECT_EQ(gEditCount, k.edits);
    EXPECT_EQ(table(), fields(k.after));
    std::vector<InstrRec> listed;  // the list follows the table
    for (int n = 0; gCurrInstrList[n] != -1; ++n) listed.push_back(gInstrData[gCurrInstrList[n]]);
    EXPECT_EQ(fields(listed), fields(k.result == 1 ? k.records : std::vector<InstrRec>{a, b}));
  }
  for (int32_t i = 0; i < DEMO_INSTR_CAP; ++i) gInstrData[i] = i == 0 ? a : other;
  gInstrCount = DEMO_INSTR_CAP;  // full: no more records, nothing changed
  demoLoadFrameInstructionsToMemory(gEditorFrame);
  gEditCount = 0;
  EXPECT_EQ(commitAdvancedRecords({a2, b, c}), -2);
  EXPECT_EQ(gEditCount, 0);
  EXPECT_EQ(fields({gInstrData[0]}), fields({a}));
}

TEST(InstructionTextStandard, WaitIsSecondsOrMilliseconds) {
  const std::pair<const char*, int32_t> cases[] = {
      {"2.01", 2010}, {"4.35", 4350}, {"9.001", -1}, {"0.009", -1}, {"0.01", 10}, {"0.0109", 10}, {"2.0199", 2019},
      {".5", 500}, {"5.", 5000}, {"5", 5000}, {"9", 9000}, {"0", -1}, {" 2 ", 2000}, {"500", 500}, {"10", 10},
      {"50", 50}, {"9000", 9000}, {"9001", -1}, {"010", 10}, {"", -1}, {".", -1}, {"abc", -1}, {"-1", -1},
      {"1.2.3", -1}, {"3 0", -1}, {"+5", -1}, {"99999999999999999999", -1}, {"99999999999999999999.5", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(parseWaitText(c.first), c.second) << '"' << c.first << '"';
}

TEST(InstructionTextStandard, KeypressIsAnAcceptedCode) {
  const std::pair<const char*, int32_t> cases[] = {
      {"65", 65}, {"90", 90}, {"64", -1}, {"91", -1}, {"48", 48}, {"57", 57}, {"47", -1}, {"58", -1}, {"9", 9},
      {"13", 13}, {"0", 0}, {"10", -1}, {" 13 ", 13}, {"A", -1}, {"", -1}, {"-13", -1}, {"1e1", -1},
      {"4294967361", -1}, {"99999999999999999999", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(parseKeypressText(c.first), c.second) << '"' << c.first << '"';
}

}  // namespace
