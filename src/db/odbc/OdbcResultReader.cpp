#include "db/odbc/OdbcResultReader.h"

#include <sqlext.h>

#include <algorithm>
#include <string>

#include "db/odbc/OdbcDiagnostics.h"
#include "db/odbc/OdbcText.h"
#include "db/odbc/OdbcValueReader.h"

namespace rilo::db::odbc {
namespace {

// A text attribute of a result column; empty when the driver does not know it.
std::string TextAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field) {
  std::vector<SQLWCHAR> buffer(256);
  for (;;) {
    SQLSMALLINT bytes = 0;
    const auto buffer_bytes = static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR));
    const SQLRETURN rc =
        SQLColAttributeW(statement, column, field, buffer.data(), buffer_bytes, &bytes, nullptr);
    if (!SQL_SUCCEEDED(rc)) return {};
    const auto units = static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / sizeof(SQLWCHAR);
    if (units < buffer.size() || buffer.size() >= 8192) {
      return FromWideTerminated(buffer.data(), std::min(units, buffer.size() - 1));
    }
    buffer.resize(units + 1);
  }
}

OdbcColumn DescribeColumn(SQLHSTMT statement, SQLUSMALLINT number) {
  OdbcColumn column;
  std::vector<SQLWCHAR> name(256);
  for (;;) {
    SQLSMALLINT name_units = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    Check(SQLDescribeColW(statement, number, name.data(), static_cast<SQLSMALLINT>(name.size()),
                          &name_units, &column.sql_type, &size, &digits, &nullable),
          SQL_HANDLE_STMT, statement, "describing a result column");
    const auto units = static_cast<std::size_t>(std::max<SQLSMALLINT>(name_units, 0));
    if (units < name.size() || name.size() >= 8192) {
      column.info.name = FromWideTerminated(name.data(), std::min(units, name.size() - 1));
      break;
    }
    name.resize(units + 1);
  }
  column.info.base_table = TextAttribute(statement, number, SQL_DESC_BASE_TABLE_NAME);
  // A column with no base table is an expression, whatever name the driver offers for it.
  if (!column.info.base_table.empty()) {
    column.info.base_column = TextAttribute(statement, number, SQL_DESC_BASE_COLUMN_NAME);
  }
  // datetime and datetime2(3) both say SQL_TYPE_TIMESTAMP of 23 characters; the name tells.
  column.info.compares_as_datetime =
      column.sql_type == SQL_TYPE_TIMESTAMP &&
      TextAttribute(statement, number, SQL_DESC_TYPE_NAME) == "datetime";
  return column;
}

}  // namespace

std::vector<OdbcColumn> DescribeColumns(SQLHSTMT statement) {
  SQLSMALLINT count = 0;
  Check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement, "counting result columns");
  std::vector<OdbcColumn> columns;
  columns.reserve(static_cast<std::size_t>(std::max<SQLSMALLINT>(count, 0)));
  for (SQLSMALLINT number = 1; number <= count; ++number) {
    columns.push_back(DescribeColumn(statement, static_cast<SQLUSMALLINT>(number)));
  }
  return columns;
}

std::vector<std::vector<Value>> FetchRows(SQLHSTMT statement,
                                          const std::vector<OdbcColumn>& columns) {
  std::vector<std::vector<Value>> rows;
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA) break;
    Check(rc, SQL_HANDLE_STMT, statement, "fetching a row");
    std::vector<Value>& row = rows.emplace_back();
    row.reserve(columns.size());
    // In column order: not every driver lets SQLGetData go back.
    for (std::size_t i = 0; i < columns.size(); ++i) {
      row.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(i + 1), columns[i].sql_type));
    }
  }
  return rows;
}

}  // namespace rilo::db::odbc
