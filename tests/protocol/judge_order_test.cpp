// The Gomocup judge's order: it starts the brain, writes START and its INFO lines, and
// suspends the process at once, without waiting for OK; for the first move it writes
// INFO time_left and BOARD, lets the process run again and counts from there, with 1 s of
// tolerance. Everything START does falls in that first move, and so does whatever an INFO
// that changes the memory (max_memory, thread_num) sets off. The engine must answer that
// move within its time all the same.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "protocol/protocol_fixture.h"

namespace zerin_test {
namespace {

class ProtocolJudgeOrder : public EngineSession {
 protected:
  void SetUp() override {
    SKIP_TIMING_UNDER_ENGINE_COMMAND();
    SKIP_TIGHT_TIMING_UNDER_SANITIZERS();
    EngineSession::SetUp();
  }

  // START and the judge's INFO lines (then extra ones), the process suspended at once
  // and resumed with the first move; returns the reply's delay from the resume, less the
  // longest wait of an engine thread for a processor (a busy machine's share).
  Millis first_move_after_resume(const std::vector<std::string>& extra) {
    send_all({"START 20", "INFO timeout_turn " + std::to_string(TURN_MS), "INFO timeout_match 1000000",
              "INFO max_memory 367001600", "INFO game_type 1", "INFO rule 0", "INFO folder ./"});
    send_all(extra);
    EXPECT_TRUE(engine.suspend());
    // The judge starts the other brain meanwhile; memory given back by the system in
    // that time comes back slowly, as on a machine that has just started the brain.
    std::this_thread::sleep_for(Millis(300));
    send_all({"INFO time_left 1000000", "BOARD", "10,10,2", "DONE"});
    const ThreadWaits waits = engine.processor_waits();
    const Clock::time_point resumed = Clock::now();
    EXPECT_TRUE(engine.resume());
    // The greeting and OK come first, now that the engine runs.
    const EngineProcess::Collected c = engine.read_until(is_move);
    EXPECT_TRUE(c.matched) << "no move reply";
    for (size_t i = 0; i + 1 < c.lines.size(); ++i)
      EXPECT_TRUE(c.lines[i] == "OK" || c.lines[i].rfind("MESSAGE", 0) == 0) << c.lines[i];
    const Millis delay = std::chrono::duration_cast<Millis>(engine.last_line_arrival() - resumed);
    const Millis waited = engine.reply_path_wait_since(waits);
    std::printf("first move %lld ms after the resume, %lld ms of it waiting for a processor\n",
                static_cast<long long>(delay.count()), static_cast<long long>(waited.count()));
    return delay - waited;
  }

  static constexpr int TURN_MS = 500;
  static constexpr Millis ALLOWED{TURN_MS + 50};
};

// The default tables (192 MiB) are mapped at start-up and made ready while the engine
// has nothing else to do; here it has no such time before its first move.
TEST_F(ProtocolJudgeOrder, FirstMoveKeepsItsTime) { EXPECT_LE(first_move_after_resume({}), ALLOWED); }

// The limit shrinks the tables after START: the block is released and a smaller one
// mapped, inside the first move.
TEST_F(ProtocolJudgeOrder, FirstMoveAfterAMemoryLimitKeepsItsTime) {
  EXPECT_LE(first_move_after_resume({"INFO max_memory 100000000"}), ALLOWED);
}

// Helper threads are made for the first move (as many as the hardware has, up to 4).
TEST_F(ProtocolJudgeOrder, FirstMoveWithFourThreadsKeepsItsTime) {
  EXPECT_LE(first_move_after_resume({"INFO thread_num 4"}), ALLOWED);
}

}  // namespace
}  // namespace zerin_test
