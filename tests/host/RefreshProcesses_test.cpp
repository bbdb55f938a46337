// Two `rilo-server serve` processes whose stores share one local folder refresh at the same
// moment from two different head offices. ITSV is one name per folder: each store must end up
// with its own head office's rows (or report False), never with the other's.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ServerProcess.h"
#include "db/ConnectionString.h"
#include "db/Engine.h"
#include "db/Value.h"
#include "db/access/OpenSession.h"
#include "rilo/SampleChain.h"

namespace rilo::host {
namespace {

using Json = nlohmann::json;
using testing::ServerProcess;
using namespace std::chrono_literals;

const std::string kSep = "｜";

std::unique_ptr<db::Session> Open(const std::filesystem::path& folder, const std::string& db) {
  return db::OpenSession(db::ConnectionString::Parse(
      "Data Source=" + db::QuoteConnectionValue("sqlite:" + folder.string()) + ";Database=" + db));
}

std::vector<std::string> Categories(const std::filesystem::path& folder, const std::string& db) {
  std::vector<std::string> out;
  for (const auto& row : Open(folder, db)->Query("SELECT ID, 产品类别 FROM 产品类别 ORDER BY ID").rows) {
    out.push_back(db::ValueToText(row[0]) + "\t" + db::ValueToText(row[1]));
  }
  return out;
}

// Head offices A and B (all of B's categories renamed, so the two cannot be mistaken for each
// other), and one local folder with store databases StoreA and StoreB.
struct SharedLocalFolder {
  explicit SharedLocalFolder(const std::string& name)
      : root(std::filesystem::path(RILO_TEST_TMPDIR) / "host" / name) {
    std::filesystem::remove_all(root);
    for (const char* office : {"A", "B"}) {
      schema::SampleChainOptions options;
      options.dir = root / office;
      schema::CreateSampleChain(options);
      std::filesystem::create_directories(root / "local");
      std::filesystem::copy_file(root / office / "Store.db",
                                 root / "local" / (std::string("Store") + office + ".db"));
    }
    Open(root / "B", "HQ")->Execute("UPDATE 产品类别 SET 产品类别 = '总部B'");
  }
  std::string Settings(const std::string& office) const {
    return "sqlite:" + (root / office).string() + kSep + kSep + kSep + "HQ" + kSep + "sqlite:" +
           (root / "local").string() + kSep + kSep + kSep + "Store" + office;
  }
  std::filesystem::path root;
};

TEST(RefreshProcesses, StoresSharingALocalServerEachGetTheirOwnHeadOffice) {
  // Several pairs at once, each pair racing for its own folder's ITSV.
  constexpr int kPairs = 4;
  struct Pair {
    std::unique_ptr<SharedLocalFolder> folder;
    std::unique_ptr<ServerProcess> a, b;
  };
  std::vector<Pair> pairs;
  for (int i = 0; i < kPairs; ++i) {
    Pair pair{std::make_unique<SharedLocalFolder>("two-offices-" + std::to_string(i)),
              std::make_unique<ServerProcess>(std::vector<std::string>{"serve"}),
              std::make_unique<ServerProcess>(std::vector<std::string>{"serve"})};
    pairs.push_back(std::move(pair));
  }
  for (auto& pair : pairs) {
    for (auto [process, office] : {std::pair{pair.a.get(), "A"}, std::pair{pair.b.get(), "B"}}) {
      process->Write(Json{{"call", "StartUpdate"},
                          {"MySetStr", pair.folder->Settings(office)},
                          {"GetNetwork", true},
                          {"MyDpName", "中心店"}}
                         .dump());
    }
  }
  for (auto& pair : pairs) {
    for (auto [process, office, other] :
         {std::tuple{pair.a.get(), "A", "B"}, std::tuple{pair.b.get(), "B", "A"}}) {
      SCOPED_TRACE(pair.folder->root.string() + " store " + office);
      const auto tips = process->ReadJsonUntil(
          [](const Json& j) { return j.value("event", "") == "TipsUpdate"; }, 90s);
      ASSERT_TRUE(tips);
      const auto store = Categories(pair.folder->root / "local", std::string("Store") + office);
      EXPECT_NE(store, Categories(pair.folder->root / other, "HQ"));
      if ((*tips)["Pd"] == true) {
        EXPECT_EQ(store, Categories(pair.folder->root / office, "HQ"));
      }
      process->CloseInput();
      EXPECT_EQ(process->WaitForExit(10s), 0);
    }
  }
}

}  // namespace
}  // namespace rilo::host
