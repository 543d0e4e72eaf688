// seed_maker.cpp: writes the harnesses' seed inputs into a corpus folder:
// small sound files of every kind, made with the test fixture builders, in
// the form each harness takes its input. Usage: fuzz_seed_maker CORPUS_DIR
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "studio/editor/instruction_text.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/wrap_builder.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

std::string gCorpus;

Bytes readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
  const std::string folder = gCorpus + "/" + harness;
  ::mkdir(folder.c_str(), 0777);
  if (!writeBytes(folder + "/seed_" + name, bytes)) {
    std::fprintf(stderr, "cannot write %s/seed_%s\n", folder.c_str(), name.c_str());
    std::exit(1);
  }
}

PackageFixture package() {
  PackageFixture fx;
  fx.frames.resize(3);
  fx.frames[0].name = "Start";
  fx.frames[0].note = "Click in a red box";
  fx.frames[0].instrs = {InstrRec{0, -1, 'L', {1, 1, 4, 3}}, InstrRec{0, 2, 'K', {13, 0, 0, 0}}};
  fx.frames[1].instrs = {InstrRec{0, 2, 'T', {1500, 0, 0, 0}}, InstrRec{0, -1, 'M', {0, 0, 3, 3}}};
  fx.frames[2].note = "Two\r\nlines";
  // The branding block's values without its 900 x 600 picture, which only
  // the splash reads: a seed stays a few kilobytes.
  fx.branding = fixtureBranding(std::vector<uint32_t>(44, 7).data(), 0x336699, 0);
  fx.branding.resize(4 + 44 * 4);
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 6; ++x) bgr[x * 3] = static_cast<unsigned char>(f * 40 + x), bgr[x * 3 + 1] = y, bgr[x * 3 + 2] = 9;
  };
  return fx;
}

DemoFixture demo() {
  DemoFixture fx;
  fx.screenW = 16, fx.screenH = 12;
  fx.crop[0] = 2, fx.crop[1] = 1, fx.crop[2] = 10, fx.crop[3] = 8;
  fx.keyEvery = 3;
  fx.frames.resize(5);
  fx.frames[0].name = "First";
  fx.frames[0].note = "A note";
  fx.frames[0].instrs = {InstrRec{0, -1, 'L', {1, 1, 5, 4}}};
  fx.frames[1].instrs = {InstrRec{0, 3, 'K', {65, 0, 0, 0}}, InstrRec{0, -1, 'T', {800, 0, 0, 0}}};
  fx.frames[2].instrs = {InstrRec{0, -1, 'R', {0, 0, 9, 7}}};
  fx.frames[3].instrs = {InstrRec{0, -1, 'M', {2, 2, 4, 4}}};
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 16; ++x) {
      const bool changed = x >= 3 + f && x < 7 + f && y >= 2 && y < 6;
      bgr[x * 3] = static_cast<unsigned char>(changed ? 200 - f : x), bgr[x * 3 + 1] = y, bgr[x * 3 + 2] = 50;
    }
  };
  return fx;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
    return 2;
  }
  gCorpus = argv[1];
  ::mkdir(gCorpus.c_str(), 0777);
  TempDir dir;

  // Packages: stand-alone and attached behind a program's bytes and the marker.
  const Bytes pkg = buildPackage(package());
  seed("package_reader", "standalone.PMP", pkg);
  seed("package_reader", "attached", text("PROGRAM") + packageMarker() + pkg);

  // A demo: recording, window file, data file, exchange files.
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  if (!writeDemoFolder(dir.path(), "D", demo())) return 1;
  const Bytes dmr = readAll(demoFilePath("D", ".DMR")), dmd = readAll(demoFilePath("D", ".DMD")),
              dmw = readAll(demoFilePath("D", ".DMW"));
  seed("record_reader", "demo.DMR", dmr);
  seed("frame_cursor", "crop.DMR", Bytes{2, 1, 10, 8} + dmr);
  seed("frame_cursor", "whole.DMR", Bytes{0, 0, 16, 12} + dmr);
  // Decoder inputs: start, end (two bytes each), the crop (four times two), then the recording.
  const auto decode = [&](int start, int end) {
    return Bytes{static_cast<unsigned char>(start >> 8), static_cast<unsigned char>(start),
                 static_cast<unsigned char>(end >> 8), static_cast<unsigned char>(end), 0, 2, 0, 1, 0, 10, 0, 8} + dmr;
  };
  if (demoDataRead(demoFilePath("D", ".DMD")) != 1) return 1;
  seed("recording_decoder", "key", decode(0, 0));
  seed("recording_decoder", "patches", decode(static_cast<int>(gFrameData[0].imageRefA),
                                                static_cast<int>(gFrameData[2].imageRefB)));
  seed("demo_data", "demo.DMD", dmd);
  seed("window_file", "demo.DMW", dmw);
  if (writeExchangeFiles("D", 5, 1000, 5) != 1) return 1;
  seed("exchange_files", "demo", readAll(exchangeFramePath("D")) + Bytes{0} + readAll(exchangeInstrPath("D")));

  // Set files.
  seed("set_file", "plain", text(">Demo.PMP\r\n"));
  seed("set_file", "skip_splash", text("^>Sub/Demo.PMP\n"));

  // Wrapped file: the package's pieces behind a program.
  WrapParts parts;
  parts.pieces = packagePieces(pkg, 6);
  parts.pieces.push_back(text("PRESENTER"));
  parts.width = 6, parts.height = 5;
  const Bytes wrapped = buildWrapped(parts);
  seed("wrapped_file", "demo", wrapped);

  // The examiner: the kind byte, then the file (4: guessed from the content).
  seed("examine", "dmd", Bytes{0} + dmd);
  seed("examine", "dmr", Bytes{1} + dmr);
  seed("examine", "package", Bytes{2} + pkg);
  seed("examine", "wrap", Bytes{3} + wrapped);
  seed("examine", "guessed", Bytes{4} + dmr);

  // Instruction text: every kind of line, and one of each fault.
  seed("instruction_text", "lines", text("L 1,1,40,30 >2\nR 5,5,9,9\nM 0,0,3,3 >4\nT 1500 >1\nK 13\nH 2,2,8,8\n"));
  seed("instruction_text", "faults", text("L 5,5,1,1\nT\nK 1,2\nX 1\nL 1,2,3 >\nL 1,1,2,2 >99\n"));
  return 0;
}
