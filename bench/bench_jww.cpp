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

#include "io/working_folder.h"
#include "generate.h"
#include "io/files.h"

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
    std::string error;
    if (!work.Create(error)) throw std::runtime_error(error);
    gen::LargeOptions o;
    if (const char* e = std::getenv("TESSALY_BENCH_ENTITIES")) {
      o.entities = std::max(1LL, std::atoll(e));
      o.dimensions = o.entities / 10;
    }
    drawing = work.Path() / "large.jww";
    figure = work.Path() / "large.jws";
    {
      TBoundImages none;
      TJwwData doc(none);
      gen::BuildLarge(doc, o);
      if (!gen::WriteDrawing(doc, drawing, error)) throw std::runtime_error(error);
    }
    {
      TJwsData fig;
      gen::BuildLargeFigure(fig, o);
      if (!gen::WriteFigure(fig, figure, error)) throw std::runtime_error(error);
    }
    if (!ReadWholeFile(drawing, drawingBytes, error) ||
        !ReadWholeFile(figure, figureBytes, error)) {
      throw std::runtime_error(error);
    }
  }
  static Files& Get() {
    static Files files;
    return files;
  }
};

// Documents of drawings need an image list with a working folder.
struct Drawing {
  WorkingFolder work;
  TBoundImages images;
  TJwwData doc{images};
  Drawing() {
    std::string error;
    if (!work.Create(error)) throw std::runtime_error(error);
    images.SetWorkDir(work.Path());
  }
};

void Report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_DrawingLoad(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  for (auto _ : state) {
    if (!d.doc.Load(f.drawing)) state.SkipWithError(d.doc.Error().c_str());
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingParse(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  for (auto _ : state) {
    if (!d.doc.LoadFromMemory(f.drawingBytes)) state.SkipWithError(d.doc.Error().c_str());
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingSerialise(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  if (!d.doc.LoadFromMemory(f.drawingBytes)) state.SkipWithError(d.doc.Error().c_str());
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
  if (!d.doc.LoadFromMemory(f.drawingBytes)) state.SkipWithError(d.doc.Error().c_str());
  const fs::path out = f.work.Path() / "saved.jww";
  for (auto _ : state) {
    if (!d.doc.Save(out, d.doc.Version())) state.SkipWithError(d.doc.Error().c_str());
  }
  Report(state, f.drawingBytes.size());
}

void BM_DrawingLoadSave(benchmark::State& state) {
  Files& f = Files::Get();
  Drawing d;
  const fs::path out = f.work.Path() / "saved.jww";
  for (auto _ : state) {
    if (!d.doc.Load(f.drawing) || !d.doc.Save(out, d.doc.Version()))
      state.SkipWithError(d.doc.Error().c_str());
  }
  Report(state, f.drawingBytes.size());
}

void BM_FigureLoad(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  for (auto _ : state) {
    if (!fig.Load(f.figure)) state.SkipWithError(fig.Error().c_str());
  }
  Report(state, f.figureBytes.size());
}

void BM_FigureSave(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  if (!fig.LoadFromMemory(f.figureBytes)) state.SkipWithError(fig.Error().c_str());
  const fs::path out = f.work.Path() / "saved.jws";
  for (auto _ : state) {
    if (!fig.Save(out, fig.Version())) state.SkipWithError(fig.Error().c_str());
  }
  Report(state, f.figureBytes.size());
}

void BM_FigureLoadSave(benchmark::State& state) {
  Files& f = Files::Get();
  TJwsData fig;
  const fs::path out = f.work.Path() / "saved.jws";
  for (auto _ : state) {
    if (!fig.Load(f.figure) || !fig.Save(out, fig.Version()))
      state.SkipWithError(fig.Error().c_str());
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
