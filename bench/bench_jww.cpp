// Load, save, and load + save of the large generated drawing (and the same
// entities as a figure), through files as a conversion does and in memory.
//
// The drawing is generated once per run into a temporary folder: 1,000,000
// entities with 100,000 dimensions, half of them SXF, by default;
// TESSALY_BENCH_ENTITIES sets another entity count (a tenth of them dimensions).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/document_files.h"
#include "generate.h"
#include "io/files.h"
#include "io/page_warmer.h"
#include "io/working_folder.h"

namespace {
namespace fs = std::filesystem;
using namespace tessaly;

class NullSink : public ByteSink {
 public:
  void Write(const std::uint8_t*, std::size_t n) override { bytes += n; }
  std::uint64_t bytes = 0;
};

struct Files {
  WorkingFolder work;  // the folder of the generated files
  fs::path drawing, figure;
  std::vector<std::uint8_t> drawingBytes, figureBytes;

  Files() {
    Message why;
    if (!work.Create(why)) throw std::runtime_error(why.English());
    std::string error;
    gen::LargeOptions o;
    if (const char* e = std::getenv("TESSALY_BENCH_ENTITIES")) {
      o.entities = std::max(1LL, std::atoll(e));
      o.dimensions = o.entities / 10;
    }
    drawing = work.Path() / "large.jww";
    figure = work.Path() / "large.jws";
    {
      MemoryImages store;
      TBoundImages images(store);
      TJwwData doc(images);
      gen::BuildLarge(doc, o);
      if (!gen::WriteDrawing(doc, drawing, error)) throw std::runtime_error(error);
    }
    {
      TJwsData fig;
      gen::BuildLargeFigure(fig, o);
      if (!gen::WriteFigure(fig, figure, error)) throw std::runtime_error(error);
    }
    if (!ReadWholeFile(drawing, drawingBytes, why) || !ReadWholeFile(figure, figureBytes, why)) {
      throw std::runtime_error(why.English());
    }
  }
  static Files& Get() {
    static Files files;
    return files;
  }
};

// A drawing's document with a place for its images, and a page warmer for
// loads from files, as a conversion has.
struct Drawing {
  MemoryImages store;
  TBoundImages images{store};
  TJwwData doc{images};
  PageWarmer warmer;
};

// Loads and saves as a conversion does; a failure ends the benchmark.
template <typename Doc>
void Load(benchmark::State& state, Doc& doc, const fs::path& path, PageWarmer& warmer) {
  if (Failure f = LoadFile(doc, path, &warmer)) state.SkipWithError(f.text.c_str());
}
template <typename Doc>
void Parse(benchmark::State& state, Doc& doc, const std::vector<std::uint8_t>& bytes) {
  if (LoadResult r = doc.Load(bytes); !r) state.SkipWithError(r.message.c_str());
}
template <typename Doc>
void Save(benchmark::State& state, Doc& doc, const fs::path& path) {
  if (Failure f = SaveFile(doc, path, doc.Version())) state.SkipWithError(f.text.c_str());
}

void Report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_DrawingLoad(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  for (auto _ : state) {
    Load(state, d.doc, f.drawing, d.warmer);
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingParse(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  for (auto _ : state) {
    Parse(state, d.doc, f.drawingBytes);
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingSerialise(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  Parse(state, d.doc, f.drawingBytes);
  for (auto _ : state) {
    NullSink sink;
    d.doc.Write(sink, d.doc.Version());
    benchmark::DoNotOptimize(sink.bytes);
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingSave(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  Parse(state, d.doc, f.drawingBytes);
  const fs::path out = f.work.Path() / "saved.jww";
  for (auto _ : state) {
    Save(state, d.doc, out);
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingLoadSave(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  const fs::path out = f.work.Path() / "saved.jww";
  for (auto _ : state) {
    Load(state, d.doc, f.drawing, d.warmer);
    Save(state, d.doc, out);
  }
  Report(state, f.drawingBytes.size());
}

void BM_FigureLoad(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  PageWarmer warmer;
  for (auto _ : state) {
    Load(state, fig, f.figure, warmer);
  }
  Report(state, f.figureBytes.size());
}

void BM_FigureSave(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  Parse(state, fig, f.figureBytes);
  const fs::path out = f.work.Path() / "saved.jws";
  for (auto _ : state) {
    Save(state, fig, out);
  }
  Report(state, f.figureBytes.size());
}

void BM_FigureLoadSave(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  PageWarmer warmer;
  const fs::path out = f.work.Path() / "saved.jws";
  for (auto _ : state) {
    Load(state, fig, f.figure, warmer);
    Save(state, fig, out);
  }
  Report(state, f.figureBytes.size());
}

// Each iteration takes the better part of a second: a few are enough.
#define TESSALY_BENCH(fn) BENCHMARK(fn)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0)
TESSALY_BENCH(BM_DrawingParse);
TESSALY_BENCH(BM_DrawingSerialise);
TESSALY_BENCH(BM_DrawingLoad);
TESSALY_BENCH(BM_DrawingSave);
TESSALY_BENCH(BM_DrawingLoadSave);
TESSALY_BENCH(BM_FigureLoad);
TESSALY_BENCH(BM_FigureSave);
TESSALY_BENCH(BM_FigureLoadSave);

}  // namespace

BENCHMARK_MAIN();
