// A call with its caller's name: the log's tooltip names the caller, and the desktop's
// notification service on the session bus (a private dbus-daemon here, with the service
// played by the test) is told while the window is not in use, unless turned off.

#include "support/widgets.h"

#include "console/recording.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"
#include "history/contacts.h"
#include "outputs/history.h"

#include <QDBusConnection>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dialkite;
using namespace dialkite::test;

namespace {

// The desktop's notification service, as the test plays it.
class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Seen {
        QString app, summary, body;
    };
    QList<Seen> seen;

public Q_SLOTS:
    uint Notify(const QString &app, uint, const QString &, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &, int)
    {
        seen.append({app, summary, body});
        return uint(seen.size());
    }
};

class NotifyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus.waitForReadyRead(5000)) << "dbus-daemon did not start";
        address = QString::fromUtf8(bus.readLine()).trimmed();
        // The window's session bus is this one (read on its first use, below).
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
        ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                           &notifications, QDBusConnection::ExportAllSlots));
        ContactBook book(history());
        QString problem;
        ASSERT_TRUE(book.open(&problem)) << problem.toStdString();
        ASSERT_TRUE(book.import(
            {{1, QStringLiteral("한지민"), {}, {QStringLiteral("+82 2-1234-5678")}}}, &problem));
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        bus.kill();
        bus.waitForFinished(3000);
    }
    QString history() const { return dir.filePath(QStringLiteral("history.sqlite")); }
    // A window that keeps the history and tells the desktop or not; a call on line 2 from
    // 02-1234-5678 and one on line 1 from a number nobody has.
    void callOn(Form1 &form, RecordingLink &link, bool desktop)
    {
        OutputPlan plan;
        plan.set(QStringLiteral("history"), HistoryPlan{history()});
        plan.set(QStringLiteral("notify"), desktop);
        form.startOutputs(plan);
        form.timer1().stop();
        form.timer2().stop();
        form.console().Timer2_Timer();
        link.setOpen(true);
        form.console().setVariant(VariantId(6));
        link.inject("\x02"
                    "2I120710160212345678    \x03"
                    "\x02"
                    "1I120710170311112222    \x03");
        QTest::qWait(300);
    }

    QProcess bus;
    QString address;
    Notifications notifications;
    QTemporaryDir dir;
    Settings settings{dir.filePath(QStringLiteral("Dial Kite.ini"))};
};

} // namespace

TEST_F(NotifyTest, ACallIsToldWithItsCallersNameWhileTheWindowIsNotInUse)
{
    RecordingLink link;
    Form1 form{link, settings};
    callOn(form, link, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifications.seen.size() == 2; }, 5000))
        << notifications.seen.size();
    EXPECT_EQ(notifications.seen[0].app, QStringLiteral("Dial Kite"));
    EXPECT_EQ(notifications.seen[0].summary, QStringLiteral("전화: 한지민"));
    EXPECT_EQ(notifications.seen[0].body, QStringLiteral("채널 2 · 02-1234-5678"));
    EXPECT_EQ(notifications.seen[1].summary, QStringLiteral("전화: 031-111-2222"));
    EXPECT_EQ(notifications.seen[1].body, QStringLiteral("채널 1"));
    // The log keeps its columns; the number's tooltip names the caller.
    auto *calls = form.findChild<GridView *>(QStringLiteral("MSFlexGrid1"));
    EXPECT_TRUE(
        calls->model()->index(0, 2).data(Qt::ToolTipRole).toString().startsWith(u"한지민\n"));
    EXPECT_EQ(calls->model()->index(0, 2).data().toString(), QStringLiteral("02-1234-5678"));
    EXPECT_FALSE(calls->model()->index(1, 2).data(Qt::ToolTipRole).toString().contains(u"한지민"));
}

TEST_F(NotifyTest, TurnedOffTheDesktopHearsNothing)
{
    RecordingLink link;
    Form1 form{link, settings};
    callOn(form, link, false);
    QTest::qWait(700);
    EXPECT_TRUE(notifications.seen.isEmpty());
    auto *calls = form.findChild<GridView *>(QStringLiteral("MSFlexGrid1"));
    EXPECT_TRUE(
        calls->model()->index(0, 2).data(Qt::ToolTipRole).toString().startsWith(u"한지민\n"));
}

#include "notify_test.moc"
