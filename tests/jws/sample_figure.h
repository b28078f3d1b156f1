// Figures built in memory for the dissolve, driver and command-line tests: the
// same entities as the sample drawings, in a figure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "jws/jws_data.h"
#include "archive/writer.h"
#include "support/drawing_builder.h"

namespace tessaly::test::figure {

// Empties the figure and sets the version it is written in, with header values
// of its own so that a header written from the wrong fields shows.
inline void NewFigure(TJwsData& doc, std::int32_t version) {
  doc.Clear();
  doc.Header.Signature = std::string(TJwsData::kSignature);
  doc.Header.Version = version;
  doc.Header.HeaderReals1 = {-12.5, 40.25};
  doc.Header.HeaderInts = {1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 10; ++i) doc.Header.HeaderReals2[static_cast<std::size_t>(i)] = i * 0.5;
  for (int g = 0; g < 16; ++g) doc.LayerGroups[static_cast<std::size_t>(g)].scale = 10.0 + g;
}

// A figure of `version` with a few ordinary entities, `dimensions` dimensions in
// the main list (half of them SXF from version 420 on, the first one with a
// value of 300 bytes) and one block definition, used by the main list, holding
// a line and, when `dimensions` is not 0, one more dimension.
inline void SampleFigure(TJwsData& doc, std::int32_t version, int dimensions) {
  NewFigure(doc, version);
  doc.Add(draw::Line(0, 0, 100, 0, draw::Common(1, 0, 0, 0, 2)));
  doc.Add(draw::Point(1, 2, 0, draw::Common(3, 1)));
  doc.Add(draw::Text(JString("figure"), 5, 5, draw::Common(4, 1)));
  for (int i = 0; i < dimensions; ++i) {
    const bool sxf = version >= 420 && i % 2 == 1;
    const std::string value = i == 0 ? std::string(300, '7') : std::to_string(1000 + i);
    doc.Add(draw::Dimension(i, JString(value), sxf ? 1 : 0));
  }
  draw::AddInsertion(doc, 1, 50, 50);
  TEntJwwBlockDef& def = draw::AddBlockDef(doc, 1, "part");
  def.Add(draw::Line(0, 0, 1, 1));
  if (dimensions > 0) def.Add(draw::Dimension(99, JString("900"), version >= 420 ? 1 : 0));
}

// The figure's bytes as Save writes them (the post-load step is run first).
inline std::string FigureBytes(TJwsData& doc, std::int32_t version) {
  doc.BuildBlockTree();
  StringSink sink;
  doc.Write(sink, version);
  return sink.bytes;
}

// Saves at the figure's version; throws std::runtime_error on failure.
inline void SaveFigure(TJwsData& doc, const std::filesystem::path& path) {
  doc.BuildBlockTree();
  if (Failure f = SaveFile(doc, path, doc.Version()))
    throw std::runtime_error("cannot save " + path.string() + ": " + f.text);
}

inline void MakeFigure(const std::filesystem::path& path, int dimensions,
                       std::int32_t version = 600) {
  TJwsData doc;
  SampleFigure(doc, version, dimensions);
  SaveFigure(doc, path);
}

}  // namespace tessaly::test::figure
