#pragma once
// What the BES3T and the ESP reader share: decoding the binary samples of a
// data file, and the refusals of a spectrum that both formats make with the
// same messages.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/experimental_spectrum.h"

namespace quorra::bruker {

// --- Binary samples ----------------------------------------------------------

enum class ItemType { Float64, Float32, Int32, Int16, Int8 };

int itemSize(ItemType type);

// The item at bytes, in the given byte order, as a double.
double decodeItem(const unsigned char* bytes, ItemType type, bool bigEndian);

enum class DataRead { Ok, Unreadable, NoMemory };

// Reads `count` records of `recordSize` bytes from the start of the data file
// and decodes the first item of each, a block of records at a time; with
// imaginary, also the item of imaginaryType that follows it.
DataRead readFirstItems(const std::string& path, int count, int recordSize, ItemType type, bool bigEndian,
                        std::vector<double>& values, std::vector<double>* imaginary = nullptr,
                        ItemType imaginaryType = ItemType::Float64);

// Reports a failed read of the data file; true when the read failed.
bool dataReadRefused(DataRead result, const std::string& path, ReadOutcome& outcome);

// --- Refusals ----------------------------------------------------------------

bool allEqual(const std::vector<double>& values);
void refuseFlat(ReadOutcome& outcome, const std::string& path);

// A spectrum needs two points; more than 2^24 (the grid's five arrays would
// take 640 MB) is taken for a damaged description rather than allocated.
constexpr int kMaxPoints = 1 << 24;

// Refuses a point count outside 2 … kMaxPoints; true when it did.
bool refusePointCount(ReadOutcome& outcome, const std::string& path, int points);

// A point count must be a whole number: a fraction, an exponent, letters or
// a value beyond the int range are taken for a damaged file, not cut at the
// point or replaced by the previous count. The message shows the key and the
// word that follows it.
void refusePointsValue(ReadOutcome& outcome, const std::string& path, std::string_view key,
                       std::string_view text);

bool isFieldUnit(std::string_view unit);
// Refuses a file whose x axis (name, when the file gives one, and unit) is
// not a magnetic field.
void refuseAxis(ReadOutcome& outcome, const std::string& path, std::string_view name, std::string_view unit);

}  // namespace quorra::bruker
