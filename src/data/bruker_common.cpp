#include "data/bruker_common.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>

#include "data/file_access.h"
#include "data/text_helpers.h"

namespace quorra::bruker {

namespace {

uint64_t loadUnsigned(const unsigned char* bytes, int size, bool bigEndian) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) {
    const int shift = 8 * (bigEndian ? size - 1 - i : i);
    value |= static_cast<uint64_t>(bytes[i]) << shift;
  }
  return value;
}

}  // namespace

int itemSize(ItemType type) {
  switch (type) {
    case ItemType::Float64:
      return 8;
    case ItemType::Float32:
    case ItemType::Int32:
      return 4;
    case ItemType::Int16:
      return 2;
    case ItemType::Int8:
      return 1;
  }
  return 8;
}

double decodeItem(const unsigned char* bytes, ItemType type, bool bigEndian) {
  const uint64_t raw = loadUnsigned(bytes, itemSize(type), bigEndian);
  switch (type) {
    case ItemType::Float64:
      return std::bit_cast<double>(raw);
    case ItemType::Float32:
      return std::bit_cast<float>(static_cast<uint32_t>(raw));
    case ItemType::Int32:
      return static_cast<int32_t>(static_cast<uint32_t>(raw));
    case ItemType::Int16:
      return static_cast<int16_t>(static_cast<uint16_t>(raw));
    case ItemType::Int8:
      return static_cast<int8_t>(static_cast<uint8_t>(raw));
  }
  return 0.0;
}

DataRead readFirstItems(const std::string& path, int count, int recordSize, ItemType type, bool bigEndian,
                        std::vector<double>& values, std::vector<double>* imaginary, ItemType imaginaryType) {
  try {
    values.resize(static_cast<size_t>(count));
    if (imaginary != nullptr) imaginary->resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    values = {};
    if (imaginary != nullptr) *imaginary = {};
    return DataRead::NoMemory;
  }
  std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return DataRead::Unreadable;
  unsigned char block[65536];
  const int recordsPerBlock = static_cast<int>(sizeof block) / recordSize;
  for (int first = 0; first < count; first += recordsPerBlock) {
    const int records = std::min(recordsPerBlock, count - first);
    const size_t bytes = static_cast<size_t>(records) * static_cast<size_t>(recordSize);
    if (std::fread(block, 1, bytes, file.get()) != bytes) return DataRead::Unreadable;
    for (int i = 0; i < records; ++i) {
      const unsigned char* record = block + static_cast<size_t>(i) * recordSize;
      values[static_cast<size_t>(first + i)] = decodeItem(record, type, bigEndian);
      if (imaginary != nullptr)
        (*imaginary)[static_cast<size_t>(first + i)] =
            decodeItem(record + itemSize(type), imaginaryType, bigEndian);
    }
  }
  return DataRead::Ok;
}

bool samplesRefused(DataRead result, const std::string& path, ReadOutcome& outcome) {
  if (result == DataRead::NoMemory) outcome.refuse("Not enough memory", "Temporary array not created");
  if (result == DataRead::Unreadable) outcome.refuse(path, "FILE NOT FOUND");
  if (result != DataRead::Ok) return true;
  const std::vector<double>& values = outcome.spectrum.values;
  for (double v : values)
    if (!(v == values.front())) return false;
  outcome.refuse(path + "\nAll intensities of the spectrum are equal: there is nothing to show.",
                 "FLAT SPECTRUM");
  return true;
}

bool readDescriptionFile(ReadOutcome& outcome, const std::string& path, uint64_t limit, const char* refusal,
                         std::string& text) {
  std::string error;
  if (readFileBytes(path, text, error, limit)) return true;
  outcome.refuse(path, refusal);
  return false;
}

bool dataFileSize(ReadOutcome& outcome, const std::string& path, uint64_t& size) {
  std::string error;
  if (regularFileSize(path, size, error)) return true;
  outcome.refuse(path, "FILE NOT FOUND");
  return false;
}

bool refuseGrid(ReadOutcome& outcome, const std::string& path, int points, double field, double range,
                double frequency) {
  if (points < 2)
    outcome.refuse(
        path + "\nThe file describes " + std::to_string(points) + " points; a spectrum needs at least two.",
        "NO SPECTRUM IN FILE");
  else if (points > kMaxPoints)
    outcome.refuse(path + "\nThe file describes " + std::to_string(points) + " points, more than the " +
                       std::to_string(kMaxPoints) + " a spectrum may hold.",
                   "TOO MANY POINTS");
  else if (!std::isfinite(field) || !std::isfinite(range) || !std::isfinite(frequency))
    outcome.refuse(path + "\nThe field axis or the frequency of the file is not a finite number.",
                   "INVALID PARAMETERS");
  else
    return false;
  return true;
}

void refusePointsValue(ReadOutcome& outcome, const std::string& path, std::string_view key,
                       std::string_view text) {
  constexpr size_t kShownChars = 40;
  size_t begin = 0;
  while (begin < text.size() && isWhiteSpace(text[begin])) ++begin;
  size_t end = begin;
  while (end < text.size() && !isWhiteSpace(text[end]) && end - begin < kShownChars) ++end;
  outcome.refuse(path + "\nThe number of points " + std::string(key) + " \"" +
                     std::string(text.substr(begin, end - begin)) + "\" is not a whole number from 2 to " +
                     std::to_string(kMaxPoints) + ".",
                 "INVALID PARAMETERS");
}

bool isFieldUnit(std::string_view unit) {
  return unit == "G" || unit == "T";
}

void refuseAxis(ReadOutcome& outcome, const std::string& path, std::string_view name, std::string_view unit) {
  std::string axis;
  if (!name.empty()) {
    axis += '\'';
    axis.append(name);
    axis += "' ";
  }
  axis += "in ";
  axis.append(unit);
  outcome.refuse(path + "\nThe x axis of the file is " + axis + ", not a magnetic field in G or T.",
                 "NOT A FIELD SWEEP");
}

void acceptGrid(ReadOutcome& outcome, double centre, double range, double frequency) {
  ExperimentalSpectrum& spectrum = outcome.spectrum;
  spectrum.setsParameterText = true;
  spectrum.fieldCentre = centre;
  spectrum.fieldRange = range;
  spectrum.frequency = frequency;
  outcome.ok = true;
}

}  // namespace quorra::bruker
