#pragma once
// What the BES3T and the ESP reader share: reading the description file,
// decoding the binary samples of a data file, the refusals of a spectrum that
// both formats make with the same messages, and the grid of an accepted one.

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

// Refuses a failed read of the data file, or samples (outcome.spectrum.values)
// that are all equal; true when it did.
bool samplesRefused(DataRead result, const std::string& path, ReadOutcome& outcome);

// --- Description and data files ----------------------------------------------

// Reads at most `limit` bytes of the description (or parameter) file into
// text; refuses it with `refusal` as the title when it cannot be read. True
// when read.
bool readDescriptionFile(ReadOutcome& outcome, const std::string& path, uint64_t limit, const char* refusal,
                         std::string& text);

// The size of the data file in bytes; refuses one that is not a readable
// regular file. True when known.
bool dataFileSize(ReadOutcome& outcome, const std::string& path, uint64_t& size);

// --- Refusals ----------------------------------------------------------------

// A spectrum needs two points; more than 2^24 (the grid's five arrays would
// take 640 MB) is taken for a damaged description rather than allocated.
constexpr int kMaxPoints = 1 << 24;

// Refuses a point count outside 2 … kMaxPoints, or a field axis (a field
// value of the file and the range) or frequency that is not finite; true when
// it did.
bool refuseGrid(ReadOutcome& outcome, const std::string& path, int points, double field, double range,
                double frequency);

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

// --- Accepted spectrum -------------------------------------------------------

// Gives the accepted spectrum its field grid and frequency and marks the read
// as successful; the parameter text has been set.
void acceptGrid(ReadOutcome& outcome, double centre, double range, double frequency);

}  // namespace quorra::bruker
