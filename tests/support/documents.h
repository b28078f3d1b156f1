// Loading and saving documents in tests, as the driver does it (from and to
// files, through the same sources and sinks), with gtest's assertion results.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "app/document_files.h"
#include "jww/images.h"

namespace tessaly::test {

// ASSERT_TRUE(Loads(doc, path)) says why a load failed; EXPECT_FALSE says that
// one that should have failed did not.
template <typename Doc>
testing::AssertionResult Loads(Doc& doc, const std::filesystem::path& path) {
  if (Failure f = LoadFile(doc, path)) return testing::AssertionFailure() << f.text;
  return testing::AssertionSuccess() << "loaded";
}

// The reason a load from a file failed; empty when it did not.
template <typename Doc>
std::string LoadError(Doc& doc, const std::filesystem::path& path) {
  return LoadFile(doc, path).text;
}

// A load's result as an assertion: its message when it failed.
inline testing::AssertionResult Loaded(const LoadResult& r) {
  if (!r) return testing::AssertionFailure() << r.message;
  return testing::AssertionSuccess() << "loaded";
}

// The same of bytes in memory.
template <typename Doc>
testing::AssertionResult LoadsBytes(Doc& doc, std::string_view bytes) {
  const LoadResult r = doc.Load(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!r) return testing::AssertionFailure() << r.message;
  return testing::AssertionSuccess() << "loaded";
}
template <typename Doc>
std::string LoadBytesError(Doc& doc, std::string_view bytes) {
  return doc
      .Load(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()))
      .message;
}

// The data a store keeps under an image's name; "<none>" when it keeps none.
inline std::string Stored(ImageStore& store, const std::string& name) {
  std::vector<std::uint8_t> data;
  std::string why;
  if (!store.Get(name, false, data, why)) return "<none>";
  return std::string(data.begin(), data.end());
}

template <typename Doc>
testing::AssertionResult Saves(const Doc& doc, const std::filesystem::path& path, std::int32_t version) {
  if (Failure f = SaveFile(doc, path, version)) return testing::AssertionFailure() << f.text;
  return testing::AssertionSuccess() << "saved";
}

// Loads a drawing (.jww) or a figure (.jws) and answers its entries of `kind`
// in the main list and the definitions; -1 when it does not load.
std::int64_t EntriesIn(const std::filesystem::path& path, std::int32_t kind);
std::int64_t DimensionsIn(const std::filesystem::path& path);

}  // namespace tessaly::test
