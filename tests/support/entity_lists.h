// Entity lists in tests: every field of every record as text, to compare models
// and records by (and to read in a failure), and an encoder of records and
// lists into the bytes of the format, independent of the writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entities/entity_list.h"
#include "support/byte_builder.h"

namespace tessaly::test {

// Every field of a record, on one line (a dimension on ten).
std::string Describe(const TEntJwwCommon& c);
std::string Describe(const TEntJwwSen& e);
std::string Describe(const TEntJwwEnko& e);
std::string Describe(const TEntJwwTen& e);
std::string Describe(const TEntJwwMoji& e);
std::string Describe(const TEntJwwSunpo& e);
std::string Describe(const TEntJwwSolid& e);
std::string Describe(const TEntJwwBlock& e);

// Field-by-field equality of two records, naming both when they differ.
template <typename Record>
testing::AssertionResult Same(const Record& actual, const Record& expected) {
  const std::string a = Describe(actual), e = Describe(expected);
  if (a == e) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\n  " << a << "\ninstead of\n  " << e;
}

// Every record of the lists in file order, one line each, and the counts.
std::string Dump(const TEntityList& list);
std::string Dump(const TEntityLists& lists);  // main list, then each definition

// The format's bytes of records and lists, with the class tags of the archive
// (a new class the first time, then references; one counter for classes and
// objects). Values are written as they are, without any normalisation.
class ListEncoder {
 public:
  ListEncoder(Bytes& out, std::int32_t version) : b_(out), v_(version) {}

  void Tag(std::string_view className);
  void Object() { ++counter_; }
  std::uint32_t counter() const { return counter_; }

  void Body(const TEntJwwSen& e);
  void Body(const TEntJwwEnko& e);
  void Body(const TEntJwwTen& e);
  void Body(const TEntJwwMoji& e);
  void Body(const TEntJwwSunpo& e);
  void Body(const TEntJwwSolid& e);
  void Body(const TEntJwwBlock& e);
  void Common(const TEntJwwCommon& c);

  // A tagged entity of the list, counted.
  void Entity(const TEntityList& list, const TEntJwwIndex& ix);
  // The count and the entities of a list.
  void List(const TEntityList& list);
  // Main list, then the definitions.
  void Lists(const TEntityLists& lists);

 private:
  Bytes& b_;
  std::int32_t v_;
  std::uint32_t counter_ = 1;
  std::vector<std::pair<std::string, std::uint32_t>> classes_;
};

}  // namespace tessaly::test
