// recording_rewrite.cpp: a demo's recording rewritten under a journal, and
// the record copying the rewrites share (see recording_rewrite.h).
#include "studio/editor/recording_rewrite.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cstring>
#include <memory>

SeamAction (*gRewriteSeam)(RewriteStep) = nullptr;
int (*gRewriteLink)(const char* from, const char* to) = pal_FsLink;
std::atomic<int> gRewriteProgress{0};

SeamAction rewriteSeam(RewriteStep step) { return gRewriteSeam == nullptr ? SeamAction::Go : gRewriteSeam(step); }

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode), std::fclose); }

bool exists(const std::string& path) { return pal_FsStat(path.c_str(), nullptr); }

bool readWhole(const std::string& path, std::string* text) {
  File f = openFile(path, "rb");
  if (!f) return false;
  text->clear();
  char block[4096];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f.get())) > 0) text->append(block, n);
  return std::ferror(f.get()) == 0;
}

struct DemoPaths {
  std::string folder, dmr, dmd, dmrNew, dmdNew, dmrOld, journal;
};
DemoPaths pathsOf(const std::string& folder, const std::string& name) {
  DemoPaths p;
  const std::string disk = pal_SystemText(name);
  p.folder = folder;
  p.dmr = folder + "/" + disk + ".DMR";
  p.dmd = folder + "/" + disk + ".DMD";
  p.dmrNew = p.dmr + ".new";
  p.dmdNew = p.dmd + ".new";
  p.dmrOld = p.dmr + ".old";
  p.journal = folder + "/" + disk + ".import";
  return p;
}

// The temporary files of the writers a rewrite uses: the journal's and the
// data file writer's names before their renames.
std::string journalTemp(const DemoPaths& p) { return p.journal + ".part"; }
std::string dataTemp(const DemoPaths& p) { return p.dmdNew + ".saving"; }

// Makes the renames and removals in the demo's folder lasting.
void syncFolder(const DemoPaths& p) { pal_FsSyncFolder(p.folder.c_str()); }

// Writes the journal's step word through a temporary file renamed over it.
bool writeJournal(const DemoPaths& p, const char* step) {
  const std::string temp = journalTemp(p);
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fputs(step, f) >= 0;
  if (!closeSynced(f) || !written || pal_FsRename(temp.c_str(), p.journal.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  syncFolder(p);
  return true;
}

std::string journalStep(const DemoPaths& p) {
  std::string text;
  return readWhole(p.journal, &text) ? text : std::string();
}

// Removes the temporary files that only a cut-short writer leaves behind.
void removeTemporaries(const DemoPaths& p) {
  std::remove(journalTemp(p).c_str());
  std::remove(dataTemp(p).c_str());
}

// Puts the old recording back when it was already moved or replaced, then
// removes everything the rewrite wrote, the journal last. Each step leaves a
// state this function mends when run again: NAME.DMR.old is the old
// recording's second name (a hard link) while NAME.DMR.new still waits, and
// the old recording itself once NAME.DMR is missing (kept by a rename where
// links are not available) or replaced (NAME.DMR.new gone). False when the
// seam stopped it on the spot.
bool rollBack(const DemoPaths& p) {
  if (rewriteSeam(RewriteStep::RollbackRestore) == SeamAction::Crash) return false;
  if (exists(p.dmrOld) && (!exists(p.dmr) || !exists(p.dmrNew))) pal_FsRename(p.dmrOld.c_str(), p.dmr.c_str());
  if (rewriteSeam(RewriteStep::RollbackRemove) == SeamAction::Crash) return false;
  // Once NAME.DMR.old is gone nothing is put back: what follows only removes pieces.
  std::remove(p.dmrOld.c_str());
  std::remove(p.dmrNew.c_str());
  std::remove(p.dmdNew.c_str());
  removeTemporaries(p);
  syncFolder(p);
  std::remove(p.journal.c_str());
  return true;
}

// Puts whichever new file is still waiting into place. Both were complete
// before the journal said "commit", so this finishes the rewrite.
bool rollForward(const DemoPaths& p) {
  if (exists(p.dmrNew) && pal_FsRename(p.dmrNew.c_str(), p.dmr.c_str()) != 0) return false;
  if (exists(p.dmdNew) && pal_FsRename(p.dmdNew.c_str(), p.dmd.c_str()) != 0) return false;
  std::remove(p.dmrOld.c_str());
  removeTemporaries(p);
  syncFolder(p);
  std::remove(p.journal.c_str());
  return true;
}

// Keeps the old recording as NAME.DMR.old: a second name (hard link) where
// the file system has them, else the recording is moved there (NAME.DMR is
// then missing until NAME.DMR.new takes its name).
bool keepOldRecording(const DemoPaths& p) {
  std::remove(p.dmrOld.c_str());
  if (gRewriteLink(p.dmr.c_str(), p.dmrOld.c_str()) == 0) return true;
  return pal_FsRename(p.dmr.c_str(), p.dmrOld.c_str()) == 0;
}

// The line of a record rewritten to hold rect: its first five fields, the
// rectangle, then the rest from the comma before its time.
std::string expandedLine(const std::string& line, const int32_t rect[4]) {
  size_t fifth = 0, ninth = 0;
  int commas = 0;
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == ',') {
      ++commas;
      if (commas == 5) fifth = i;
      if (commas == 9) ninth = i;
    }
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", rect[0], rect[1], rect[2], rect[3]);
  return line.substr(0, fifth + 1) + text + line.substr(ninth);
}

}  // namespace

bool closeSynced(std::FILE* f) {
  const bool ok = std::fflush(f) == 0 && pal_FsSync(pal_FsDescriptorOf(f)) == 0;
  return std::fclose(f) == 0 && ok;
}

bool readRecordLineAt(std::FILE* f, int64_t offset, std::string* line, RecordLine* r) {
  char text[REC_LINE_LIMIT + 1];
  if (fseeko(f, offset, SEEK_SET) != 0 || std::fgets(text, sizeof text, f) == nullptr) return false;
  RecordFields v;
  if (!parseRecordLine(text, 11, &v)) return false;
  *r = RecordLine{v.mouseX, v.mouseY, v.W, v.H, v.x, v.y, v.w, v.h, v.time, v.click};
  if (line != nullptr) *line = text;
  return true;
}

bool recordHolds(const RecordLine& r, const int32_t screenRect[4]) {
  return r.x <= screenRect[0] && screenRect[2] < r.x + r.w && r.y <= screenRect[1] && screenRect[3] < r.y + r.h;
}

void takeCurrentDemo(RecordingJob* job) {
  job->name = gCurrDemoName;
  job->folder = demoFolderPath(gCurrDemoName);
  std::copy(gCropSize, gCropSize + 4, job->crop);
  job->frames.assign(gFrameData, gFrameData + gFrameCount);
}

std::string recordingOf(const RecordingJob& job) { return pathsOf(job.folder, job.name).dmr; }
std::string newRecordingOf(const RecordingJob& job) { return pathsOf(job.folder, job.name).dmrNew; }

int workerFailed(RecordingJob* job, const std::string& why) {
  std::remove(newRecordingOf(*job).c_str());
  const bool stopped = pal_StopRequested();
  job->why = stopped ? "the program was closed" : why;
  return stopped ? REWRITE_STOPPED : REWRITE_FAILED;
}

int workerInterrupted(RecordingJob* job) {
  job->why = "interrupted";
  return REWRITE_FAILED;
}

bool copyRecording(const std::string& from, const std::string& to, RecordExpansion expand[2], const RecordPaint& paint,
                   int progressEnd) {
  File in = openFile(from, "rb");
  File out = openFile(to, "wb");
  if (!in || !out) return false;
  fseeko(in.get(), 0, SEEK_END);
  const int64_t size = std::max<int64_t>(1, ftello(in.get()));
  int64_t at = 0, number = 0;
  std::vector<unsigned char> pixels;
  std::string line;
  RecordLine r;
  while (at < size && readRecordLineAt(in.get(), at, &line, &r)) {
    if (pal_StopRequested()) return false;
    gRewriteProgress = static_cast<int>(at * progressEnd / size);
    const int64_t bytes = r.w * r.h * 3;
    const int64_t next = at + static_cast<int64_t>(line.size()) + bytes;
    if (next > size) break;  // a record cut short: copied byte for byte below
    RecordExpansion* grown = nullptr;
    for (int i = 0; i < 2; ++i)
      if (expand[i].at == at) grown = &expand[i];
    int32_t rect[4] = {static_cast<int32_t>(r.x), static_cast<int32_t>(r.y), static_cast<int32_t>(r.w),
                       static_cast<int32_t>(r.h)};
    if (grown != nullptr) {
      line = expandedLine(line, grown->rect);
      std::copy(grown->rect, grown->rect + 4, rect);
      pixels = grown->picture;
      grown->growth = static_cast<int64_t>(line.size() + pixels.size()) - (next - at);
    } else {
      pixels.resize(static_cast<size_t>(bytes));
      if (std::fread(pixels.data(), 1, pixels.size(), in.get()) != pixels.size()) return false;
    }
    if (paint) paint(number, rect, pixels.data());
    if (std::fwrite(line.data(), 1, line.size(), out.get()) != line.size() ||
        std::fwrite(pixels.data(), 1, pixels.size(), out.get()) != pixels.size())
      return false;
    at = next;
    ++number;
  }
  // Whatever follows the last whole record stays as it was.
  if (fseeko(in.get(), at, SEEK_SET) != 0) return false;
  char block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, in.get())) > 0)
    if (std::fwrite(block, 1, n, out.get()) != n) return false;
  return std::ferror(in.get()) == 0 && closeSynced(out.release());
}

void moveImageOffsets(std::vector<FrameRec>* frames, const RecordExpansion expand[2]) {
  for (FrameRec& fr : *frames)
    for (int64_t* ref : {&fr.imageRefA, &fr.imageRefB}) {
      const int64_t old = *ref;
      for (int i = 0; i < 2; ++i)
        if (expand[i].at >= 0 && old > expand[i].at) *ref += expand[i].growth;
    }
}

int64_t findFrameRecord(const std::string& path, const std::vector<FrameRec>& frames, int64_t n) {
  File f = openFile(path, "rb");
  if (!f) return -2;
  int64_t at = 0, count = 0;
  for (size_t i = frames.size(); i-- > 0;)
    if (frames[i].frameId <= n) {
      if (frames[i].frameId == n) return frames[i].imageRefB;
      at = frames[i].imageRefB;
      count = frames[i].frameId;
      break;
    }
  RecordLine r;
  while (count < n) {
    const int64_t next = recReadRecord(f.get(), at, &r, nullptr);
    if (next < 0) return -1;
    at = next;
    ++count;
  }
  return recReadRecord(f.get(), at, &r, nullptr) < 0 ? -1 : at;
}

bool decodeRecordPicture(const std::string& path, int64_t offset, const int32_t rect[4],
                         std::vector<unsigned char>* bgr) {
  const std::vector<RecordEntry> records = indexRecording(path.c_str());
  int64_t key = -1;
  bool found = false;
  for (const RecordEntry& e : records) {
    if (e.offset > offset) break;
    if (e.key) key = e.offset;
    if (e.offset == offset) found = true;
  }
  if (!found || key < 0) return false;
  bgr->assign(static_cast<size_t>(rect[2]) * rect[3] * 3, 0);
  return demoRecframeCroppedToMembuff(path.c_str(), key, offset, rect, bgr->data(), 3, 1) >= 0;
}

int commitRewrite(RecordingJob* job) {
  const DemoPaths p = pathsOf(job->folder, job->name);
  const std::vector<FrameRec>& frames = job->frames;
  if (static_cast<int32_t>(frames.size()) != gFrameCount) {
    std::remove(p.dmrNew.c_str());
    job->why = "the demo's frames changed while the recording was rewritten";
    return REWRITE_FAILED;
  }
  // The model takes the moved image offsets for the data file; they stay only when the rewrite completes.
  std::vector<FrameRec> kept(gFrameData, gFrameData + gFrameCount);
  std::copy(frames.begin(), frames.end(), gFrameData);
  auto fail = [&](const char* text) {
    std::copy(kept.begin(), kept.end(), gFrameData);
    std::remove(p.dmrNew.c_str());
    std::remove(p.dmdNew.c_str());
    removeTemporaries(p);
    job->why = text;
    gRewriteProgress = 1000;
    return static_cast<int>(REWRITE_FAILED);
  };
  auto crashed = [&]() {
    std::copy(kept.begin(), kept.end(), gFrameData);
    job->why = "interrupted";
    return static_cast<int>(REWRITE_FAILED);
  };
  auto done = [&]() {
    gRewriteProgress = 1000;
    return static_cast<int>(REWRITE_DONE);
  };

  SeamAction act = rewriteSeam(RewriteStep::WriteData);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || demoDataWrite(p.dmdNew, DMD_VERSION) != 1)
    return fail("Could not write the demo data file");

  // Commit: from the journal on, the rewrite is finished (start-up recovery
  // rolls it forward) unless the journal is turned to "rollback".
  act = rewriteSeam(RewriteStep::Journal);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || !writeJournal(p, "commit")) {
    std::remove(p.journal.c_str());
    return fail("Could not write the journal");
  }
  // A step after the commit that fails turns the journal to "rollback" and
  // undoes it; when even that word cannot be written, the rewrite is
  // finished instead, or left to the next start to finish.
  auto undo = [&](const char* text) {
    const SeamAction word = rewriteSeam(RewriteStep::RollbackJournal);
    if (word == SeamAction::Crash) return crashed();
    if (word == SeamAction::Fail || !writeJournal(p, "rollback")) {
      if (rollForward(p)) return done();
      std::copy(kept.begin(), kept.end(), gFrameData);
      job->why = std::string(text) + "; the change will be finished when Pictomira next starts";
      return static_cast<int>(REWRITE_AT_NEXT_START);
    }
    if (!rollBack(p)) return crashed();
    std::copy(kept.begin(), kept.end(), gFrameData);
    job->why = text;
    gRewriteProgress = 1000;
    return static_cast<int>(REWRITE_FAILED);
  };
  act = rewriteSeam(RewriteStep::Backup);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || !keepOldRecording(p)) return undo("Could not keep the old recording");
  act = rewriteSeam(RewriteStep::RenameRecording);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || pal_FsRename(p.dmrNew.c_str(), p.dmr.c_str()) != 0)
    return undo("Could not put the new recording in place");
  act = rewriteSeam(RewriteStep::RenameData);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || pal_FsRename(p.dmdNew.c_str(), p.dmd.c_str()) != 0)
    return undo("Could not put the new demo data file in place");
  syncFolder(p);
  std::remove(p.dmrOld.c_str());
  std::remove(p.journal.c_str());
  syncFolder(p);
  return done();
}

bool recoverRewriteIn(const std::string& folder, const std::string& name) {
  const DemoPaths p = pathsOf(folder, name);
  // Exported bitmaps cut short are only ever temporary.
  bool mended = false;
  std::vector<std::string> parts;
  const bool listed = pal_FsList(folder.c_str(), [&](const char* name, bool, bool) {
    const std::string entry = name;
    if (entry.size() > 9 && entry.compare(entry.size() - 9, 9, ".bmp.part") == 0) parts.push_back(entry);
    return true;
  });
  if (listed)
    for (const std::string& part : parts) mended = std::remove((folder + "/" + part).c_str()) == 0 || mended;
  const bool journal = exists(p.journal);
  bool pieces = journal;
  for (const std::string& piece : {journalTemp(p), p.dmrNew, p.dmdNew, dataTemp(p), p.dmrOld})
    pieces = pieces || exists(piece);
  if (!pieces) return mended;
  if (journal && journalStep(p) == "commit") return rollForward(p) || mended;
  return rollBack(p) || mended;
}

int recoverInterruptedRewrites() {
  int mended = 0;
  for (const std::string& name : demosFolderEntries())
    if (name[0] != '.' && recoverRewriteIn(demoFolderPath(name), name)) ++mended;
  return mended;
}
