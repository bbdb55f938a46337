#include "tds/TdsPacket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <vector>

#include "tds/TdsLogin.h"
#include "tds/TdsReader.h"
#include "tds/TdsRpc.h"
#include "tds/TdsWriter.h"

namespace rilo::tds {
namespace {

class SocketPair {
 public:
  SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_.data()), 0); }
  ~SocketPair() {
    ::close(fds_[0]);
    if (fds_[1] >= 0) ::close(fds_[1]);
  }
  int reader() const { return fds_[0]; }
  int writer() const { return fds_[1]; }
  void CloseWriter() {
    ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  std::array<int, 2> fds_{-1, -1};
};

TEST(TdsPacket, LongMessageIsSplitIntoPacketsAndJoinedAgain) {
  SocketPair pair;
  std::vector<std::uint8_t> payload(3000);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(WriteMessage(pair.writer(), PacketType::kReply, payload, 512));
  const auto message = ReadMessage(pair.reader());
  ASSERT_TRUE(message);
  EXPECT_EQ(message->type, static_cast<std::uint8_t>(PacketType::kReply));
  EXPECT_EQ(message->payload, payload);
}

TEST(TdsPacket, ClosedPeerEndsTheStreamAndABadHeaderIsRefused) {
  SocketPair closed;
  closed.CloseWriter();
  EXPECT_FALSE(ReadMessage(closed.reader()));

  SocketPair bad;
  const std::array<std::uint8_t, 8> header = {0x01, 0x01, 0x00, 0x04, 0, 0, 1, 0};
  ASSERT_EQ(::write(bad.writer(), header.data(), header.size()), 8);
  EXPECT_THROW(ReadMessage(bad.reader()), TdsProtocolError);
}

TEST(TdsPacket, TruncatedReadsThrowInsteadOfReadingPastTheEnd) {
  const std::vector<std::uint8_t> bytes = {0x05, 0x41, 0x00};
  TdsReader in(bytes);
  EXPECT_THROW(in.BVarchar(), TdsProtocolError);
  EXPECT_THROW(ReadLogin(bytes), TdsProtocolError);
  EXPECT_THROW(ReadRpcRequests(bytes), TdsProtocolError);
}

TEST(TdsPacket, PreLoginAnswerRefusesEncryption) {
  const std::vector<std::uint8_t> reply = PreLoginReply();
  TdsReader in(reply);
  std::uint8_t encryption = 0xFF;
  for (std::uint8_t token = in.U8(); token != 0xFF; token = in.U8()) {
    const std::uint16_t offset = in.U16BigEndian();
    in.U16BigEndian();
    if (token == 0x01) encryption = reply.at(offset);
  }
  EXPECT_EQ(encryption, 0x02);
}

TEST(TdsPacket, RpcValuesDecodeToEngineValues) {
  TdsWriter out;
  out.U32(4);  // an empty ALL_HEADERS
  out.UsVarchar("sp_x");
  out.U16(0);
  // @a decimal(10,2) = -12.05
  out.BVarchar("@a");
  out.U8(0);
  out.U8(0x6A);
  out.U8(5);
  out.U8(10);
  out.U8(2);
  out.U8(5);
  out.U8(0);
  out.U32(1205);
  // @b datetime2(7) = 2026-03-08 09:15:30.5
  out.BVarchar("@b");
  out.U8(0);
  out.U8(0x2A);
  out.U8(7);
  out.U8(8);
  const std::uint64_t units = (9 * 3600 + 15 * 60 + 30) * 10'000'000ULL + 5'000'000ULL;
  for (int i = 0; i < 5; ++i) out.U8(static_cast<std::uint8_t>(units >> (8 * i)));
  const std::uint32_t days = 739682;  // 2026-03-08 from 0001-01-01
  for (int i = 0; i < 3; ++i) out.U8(static_cast<std::uint8_t>(days >> (8 * i)));
  // @c nvarchar NULL
  out.BVarchar("@c");
  out.U8(0);
  out.U8(0xE7);
  out.U16(8000);
  for (int i = 0; i < 5; ++i) out.U8(0);
  out.U16(0xFFFF);

  const std::vector<RpcRequest> requests = ReadRpcRequests(out.bytes());
  ASSERT_EQ(requests.size(), 1u);
  ASSERT_EQ(requests[0].parameters.size(), 3u);
  EXPECT_EQ(requests[0].name, "sp_x");
  EXPECT_EQ(requests[0].parameters[0].value, db::Value(db::Decimal{"-12.05"}));
  EXPECT_EQ(requests[0].parameters[1].value,
            db::Value(CalendarDateTime{2026, 3, 8, 9, 15, 30, 500}));
  EXPECT_TRUE(db::IsNull(requests[0].parameters[2].value));
}

}  // namespace
}  // namespace rilo::tds
