#include "db/sqlite/SystemProcedures.h"

#include <fmt/format.h>

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "db/sql/Names.h"
#include "db/sqlite/SqlServerErrors.h"

namespace rilo::db::sqlite {
namespace {

using sql::SameName;

// The arguments of a call laid out on the procedure's parameters.
class Arguments {
 public:
  Arguments(const ProcedureCall& call, std::span<const std::string_view> parameters)
      : procedure_(call.procedure), parameters_(parameters), values_(parameters.size()) {
    std::size_t position = 0;
    for (const ProcedureArgument& argument : call.arguments) {
      std::size_t index = position++;
      if (!argument.parameter.empty()) {
        index = IndexOf(argument.parameter);
      } else if (index >= parameters.size()) {
        throw DbError(
            DbError::Kind::kEngine,
            fmt::format("Procedure or function {} has too many arguments specified.", procedure_),
            "42000", 8144);
      }
      values_[index] = argument.value;
    }
  }

  const std::optional<std::string>& Optional(std::size_t index) const { return values_[index]; }

  const std::string& Required(std::size_t index) const {
    if (!values_[index]) throw MissingParameter(procedure_, parameters_[index]);
    return *values_[index];
  }

 private:
  std::size_t IndexOf(std::string_view parameter) const {
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
      if (SameName(parameters_[i], parameter)) return i;
    }
    throw DbError(DbError::Kind::kEngine,
                  fmt::format("{} is not a parameter for procedure {}.", parameter, procedure_),
                  "42000", 8145);
  }

  std::string procedure_;
  std::span<const std::string_view> parameters_;
  std::vector<std::optional<std::string>> values_;
};

DbError InvalidOption(std::string_view procedure) {
  return DbError(
      DbError::Kind::kEngine,
      fmt::format("An invalid parameter or option was specified for procedure '{}'.", procedure),
      "42000", 15600);
}

void AddLinkedServer(LinkedServerRegistry& registry, const ProcedureCall& call) {
  static constexpr std::array<std::string_view, 7> kParameters = {
      "@server", "@srvproduct", "@provider", "@datasrc", "@location", "@provstr", "@catalog"};
  const Arguments args(call, kParameters);
  LinkedServer server{args.Required(0), args.Optional(1).value_or(""),
                      args.Optional(2).value_or(""), args.Optional(3).value_or("")};
  if (server.name.empty()) throw InvalidOption(call.procedure);
  // With the product "SQL Server" the server's own name is its network name.
  if (SameName(server.product, "SQL Server")) server.data_source = server.name;
  registry.Add(server);
}

void AddLinkedSrvLogin(LinkedServerRegistry& registry, const ProcedureCall& call) {
  static constexpr std::array<std::string_view, 5> kParameters = {
      "@rmtsrvname", "@useself", "@locallogin", "@rmtuser", "@rmtpassword"};
  const Arguments args(call, kParameters);
  const std::string use_self = args.Optional(1).value_or("TRUE");
  if (!SameName(use_self, "true") && !SameName(use_self, "false")) {
    throw InvalidOption(call.procedure);
  }
  registry.AddLogin(LinkedLogin{args.Required(0), SameName(use_self, "true"), args.Optional(2),
                                args.Optional(3)});
}

void DropServer(LinkedServerRegistry& registry, const ProcedureCall& call) {
  static constexpr std::array<std::string_view, 2> kParameters = {"@server", "@droplogins"};
  const Arguments args(call, kParameters);
  const auto& drop_logins = args.Optional(1);
  if (drop_logins && !SameName(*drop_logins, "droplogins")) throw InvalidOption(call.procedure);
  registry.Drop(args.Required(0), drop_logins.has_value());
}

}  // namespace

void RunSystemProcedure(LinkedServerRegistry& registry, const ProcedureCall& call) {
  if (SameName(call.procedure, "sp_addlinkedserver")) return AddLinkedServer(registry, call);
  if (SameName(call.procedure, "sp_addlinkedsrvlogin")) return AddLinkedSrvLogin(registry, call);
  if (SameName(call.procedure, "sp_dropserver")) return DropServer(registry, call);
  throw ProcedureNotFound(call.procedure);
}

}  // namespace rilo::db::sqlite
