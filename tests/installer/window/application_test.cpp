// The application object: an exception escaping an event handler is shown by
// the exception display and the event loop goes on.
#include "installer/window/application.h"

#include <QTimer>

#include "platform/exception.h"
#include "window_test_support.h"

namespace tessaline::test {
namespace {

class QtApplicationTest : public WindowTest {};

TEST_F(QtApplicationTest, ExceptionsEscapingHandlersAreShownAndTheLoopGoesOn) {
  bool later_ran = false;
  QTimer::singleShot(0, [] { throw Exception("Cannot open file /x"); });
  QTimer::singleShot(0, [] { throw 42; });
  QTimer::singleShot(5, [&] { later_ran = true; });
  EXPECT_TRUE(WaitFor([&] { return later_ran; }));
  EXPECT_EQ(toolkit_.exceptions,
            (std::vector<std::string>{"Cannot open file /x", "Unknown error"}));
}

}  // namespace
}  // namespace tessaline::test
