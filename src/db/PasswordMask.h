// Keeping passwords out of everything written: diagnostics, statement hooks, error messages.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rilo::db {

/// `text` with its passwords replaced by "***":
/// - every non-empty text of `known`, wherever it stands (longest first, so a password that
///   holds another is hidden whole);
/// - the value after every "PWD=" and "Password=" key (any case, blanks allowed around '=', the
///   key not the tail of a longer word): a plain value up to the next ';' (trailing blanks
///   kept), a quoted one ('...' or "...", the quote doubled inside) or a braced one ({...},
///   "}}" inside, as ODBC writes it). Where a quoted value never closes, or text follows its
///   closing quote, where the password ends cannot be told: the key and all that follows are
///   hidden.
/// Values of other keys that are quoted whole are passed over, so a user name such as
/// "x;PWD=" stays as it is. Works on connection strings and on free text that quotes them.
std::string MaskPasswords(std::string_view text, std::span<const std::string_view> known = {});

}  // namespace rilo::db
