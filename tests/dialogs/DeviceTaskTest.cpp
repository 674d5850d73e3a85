// The worker under the unit dialogs: whatever the operation throws stays on its thread and
// ends it as a failure with a text.
#include <QTest>
#include <stdexcept>

#include "dialogs/DeviceTask.h"
#include "tests/dialogs/DialogTestSupport.h"

TEST(DeviceTask, AnExceptionInTheOperationEndsItAsAFailure)
{
    const std::pair<std::function<void()>, QString> cases[] = {
        {[] { throw std::runtime_error("boom"); }, "Unexpected error: boom"},
        {[] { throw std::bad_alloc(); }, kOutOfMemoryText},
        {[] { throw 42; }, "Unexpected error: unknown"}};
    for (const auto& [raise, text] : cases) {
        CDeviceTask task;
        bool ended = false, succeeded = true;
        QString errorText;
        task.Start([raise](COperationObserver&, std::string&) { return raise(), true; },
                   [&](bool result, const QString& error) {
                       ended = true;
                       succeeded = result;
                       errorText = error;
                   });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }));
        EXPECT_FALSE(succeeded);
        EXPECT_EQ(errorText, text);
    }
}
