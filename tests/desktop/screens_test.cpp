// The windows a user sees besides the main one, drawn offscreen: the port dialog, the
// detailed port error, a log's context menu and the quit box. With DIALKITE_SCREENSHOTS
// set to a folder, each is saved there as a PNG to look at.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/changeportform.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"
#include "desktop/historywindow.h"
#include "desktop/translations.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dialkite;

namespace {

// Grabs the box or menu that is open now and answers it.
void grabNext(const QString &name, QImage *image, int tries = 200)
{
    QTimer::singleShot(10, [=] {
        QWidget *open = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                          : QApplication::activePopupWidget();
        if (!open) {
            if (tries > 0)
                grabNext(name, image, tries - 1);
            return;
        }
        if (auto *box = qobject_cast<QMessageBox *>(open)) {
            // The details unfolded, as the operator would.
            for (QAbstractButton *button : box->buttons()) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    button->click();
            }
            QTest::qWait(50);
        }
        *image = open->grab().toImage();
        const QString folder = qEnvironmentVariable("DIALKITE_SCREENSHOTS");
        if (!folder.isEmpty())
            image->save(QDir(folder).filePath(name + QStringLiteral(".png")));
        if (auto *box = qobject_cast<QMessageBox *>(open))
            box->button(box->standardButtons() & QMessageBox::Cancel ? QMessageBox::Cancel
                                                                     : QMessageBox::Ok)
                ->click();
        else
            open->close();
    });
}

} // namespace

TEST(Screens, DialogsBoxesAndMenusDrawInKorean)
{
    loadKoreanQtTexts(*QCoreApplication::instance());
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini")));
    const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
    QFile(device).open(QIODevice::WriteOnly);
    settings.write(QStringLiteral("DEVICES"), QStringLiteral("COM3"), device);
    RecordingLink link;
    Form1 form(link, settings);
    form.console().Timer2_Timer();
    form.show();

    ChangePortForm dialog(form.console());
    dialog.choose(3);
    dialog.show();
    const QImage port = dialog.grab().toImage();
    if (!qEnvironmentVariableIsEmpty("DIALKITE_SCREENSHOTS"))
        port.save(QDir(qEnvironmentVariable("DIALKITE_SCREENSHOTS"))
                      .filePath(QStringLiteral("port-dialog.png")));
    EXPECT_FALSE(port.isNull());
    dialog.close();

    QImage error;
    link.refusePort(5);
    grabNext(QStringLiteral("port-error"), &error);
    form.console().ChangeComport(qint16(5));
    EXPECT_FALSE(error.isNull());

    QImage menu;
    grabNext(QStringLiteral("log-menu"), &menu);
    auto *log = form.findChild<GridView *>(QStringLiteral("MSFlexGrid3"));
    Q_EMIT log->customContextMenuRequested(QPoint(20, 20));
    EXPECT_FALSE(menu.isNull());

    // The window's own icon is the kite: a blue diamond around a white centre.
    const QImage icon = form.windowIcon().pixmap(64, 64).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixelColor(32, 26), QColor(Qt::white));
    EXPECT_EQ(icon.pixelColor(24, 32), QColor(0x2b, 0x6c, 0xb0));

    QImage quit;
    grabNext(QStringLiteral("quit-box"), &quit);
    EXPECT_FALSE(form.close()); // answered with Cancel: the window stays
    EXPECT_FALSE(quit.isNull());
}

// The history window with calls of a rig's boxes and of a lone box, for a look at how it
// lays them out.
TEST(Screens, TheHistoryWindowAsItLooks)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath(QStringLiteral("Dial Kite.ini")));
    RecordingLink link;
    Form1 form(link, settings);
    form.timer1().stop();
    form.timer2().stop();
    OutputPlan plan;
    plan.set(QStringLiteral("history"),
             HistoryPlan{dir.filePath(QStringLiteral("history.sqlite"))});
    form.startOutputs(plan);
    form.console().Timer2_Timer();
    form.console().ChangeComport(qint16(3));
    form.console().setVariant(VariantId(3));
    link.inject("\x02 P" + QByteArray(14, ' ') + "DK-C0001V1.0\x03");
    link.inject("\x02"
                "1I12071015021234567         \x03");
    link.inject("\x02"
                "2m120710160311234567        \x03");
    link.inject("\x02"
                "2m12071016P                 \x03");
    link.inject("\x02"
                "3I1207101770815277445       \x03");
    form.finishOutputs();
    form.showHistory();
    HistoryWindow *window = form.historyWindow();
    window->resize(900, 360);
    QTest::qWait(100);
    const QImage image = window->grab().toImage();
    if (!qEnvironmentVariableIsEmpty("DIALKITE_SCREENSHOTS"))
        image.save(QDir(qEnvironmentVariable("DIALKITE_SCREENSHOTS"))
                       .filePath(QStringLiteral("history-window.png")));
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(window->model()->rowCount(), 4);
}
