// Loading and saving documents in tests, as the driver does it (from and to
// files, through the same sources and sinks), with gtest's assertion results.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/document_files.h"
#include "archive/writer.h"
#include "jww/images.h"
#include "support/byte_builder.h"

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
  return Loaded(doc.Load(AsBytes(bytes)));
}

// The data a store keeps under an image's name; "<none>" when it keeps none.
inline std::string Stored(ImageStore& store, const std::string& name) {
  std::vector<std::uint8_t> data;
  Message why;
  if (!store.Get(name, false, data, why)) return "<none>";
  return std::string(data.begin(), data.end());
}

template <typename Doc>
testing::AssertionResult Saves(const Doc& doc, const std::filesystem::path& path, std::int32_t version) {
  if (Failure f = SaveFile(doc, path, version)) return testing::AssertionFailure() << f.text;
  return testing::AssertionSuccess() << "saved";
}

// The bytes a document writes at `version`.
template <typename Doc>
std::string Written(const Doc& doc, std::int32_t version) {
  StringSink sink;
  doc.Write(sink, version);
  return sink.bytes;
}

// A document built in memory has not been through the post-load step that
// numbers its block definitions; these run it first, as a load would have.
template <typename Doc>
std::string WrittenBuilt(Doc& doc, std::int32_t version) {
  doc.BuildBlockTree();
  return Written(doc, version);
}
// Saves at the document's version; throws std::runtime_error on failure.
template <typename Doc>
void SaveBuilt(Doc& doc, const std::filesystem::path& path) {
  doc.BuildBlockTree();
  if (Failure f = SaveFile(doc, path, doc.Version()))
    throw std::runtime_error("cannot save " + path.string() + ": " + f.text);
}

// The entries of `kind` in the main list and the definitions.
std::int64_t EntriesOf(const TEntityLists& doc, std::int32_t kind);
// The same of a drawing (.jww) or a figure (.jws) loaded from a file; -1 when it
// does not load.
std::int64_t EntriesIn(const std::filesystem::path& path, std::int32_t kind);
std::int64_t DimensionsIn(const std::filesystem::path& path);

}  // namespace tessaly::test
