// The CUE sheet parser over fuzzed sheets, and the layout of every sheet it accepts over
// files of lengths taken from the sheet's own bytes: no crash, every problem worded, and
// every table laid out one the rest of the library can answer for (tracks within 1 to 99,
// starts rising, the lead-out after them within 100 minutes, runs in disc order).
#include <cstdlib>
#include <string_view>

#include "CueLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = parseCueSheet(text);
  if (const auto* problem = std::get_if<CueProblem>(&parsed)) {
    if (problem->what.empty()) std::abort();
    return 0;
  }
  const CueSheet& sheet = std::get<CueSheet>(parsed);
  if (sheet.tracks.empty() || sheet.files.empty()) std::abort();
  std::vector<std::uint32_t> fileFrames;
  for (std::size_t i = 0; i < sheet.files.size(); ++i) {
    fileFrames.push_back(size == 0 ? 0 : data[i % size] * 97u);
  }
  const auto laid = layOut(sheet, fileFrames);
  if (const auto* problem = std::get_if<CueProblem>(&laid)) {
    if (problem->what.empty()) std::abort();
    return 0;
  }
  const CueLayout& layout = std::get<CueLayout>(laid);
  if (findProblem(layout.toc)) std::abort();
  for (std::size_t i = 0; i < layout.runs.size(); ++i) {
    const ImageRun& run = layout.runs[i];
    const bool inOrder =
        i == 0 || layout.runs[i - 1].start + layout.runs[i - 1].frames <= run.start;
    if (!inOrder || run.frames == 0 || run.file >= sheet.files.size() ||
        run.fileFrame + run.frames > fileFrames[run.file] ||
        run.start + run.frames + kLeadInFrames > layout.toc.leadOut) {
      std::abort();
    }
  }
  return 0;
}
