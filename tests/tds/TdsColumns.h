// The columns of a result on the wire: a type for each that holds all its values, the
// COLMETADATA token that declares them and the ROW tokens that carry the values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/Engine.h"
#include "tds/TdsWriter.h"

namespace rilo::tds {

/// Latin1_General_CI_AS; NVARCHAR text is UTF-16 whatever the collation says.
inline constexpr std::array<std::uint8_t, 5> kServerCollation = {0x09, 0x04, 0xD0, 0x00, 0x34};

enum class ColumnType { kInt, kBit, kFloat, kDecimal, kMoney, kDateTime, kDateTime2, kNVarChar };

struct TdsColumn {
  std::string name;
  ColumnType type = ColumnType::kNVarChar;
  std::uint8_t scale = 0;  // decimals of kDecimal
  bool long_text = false;  // kNVarChar too long for NVARCHAR(4000): sent as NVARCHAR(MAX)
};

/// A type for each column that holds every value of it: whole numbers as bigint, numbers with
/// a fraction as float, exact decimals as decimal, whole or exact numbers of a column named in
/// `money_columns` as money (the engine keeps no declared type to tell),
/// date-times as datetime (datetime2(3) when a millisecond would not survive datetime's 1/300
/// second), anything else or a mix with text as nvarchar.
std::vector<TdsColumn> ColumnsFor(const db::ResultSet& result,
                                  std::span<const std::string> money_columns = {});
void WriteColumnMetadata(TdsWriter& out, const std::vector<TdsColumn>& columns);
/// Throws std::invalid_argument for a value the column's type cannot carry.
void WriteRow(TdsWriter& out, const std::vector<TdsColumn>& columns,
              const std::vector<db::Value>& row);

}  // namespace rilo::tds
