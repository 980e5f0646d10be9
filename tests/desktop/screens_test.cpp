// The windows a user sees besides the main one, drawn offscreen: the port dialog, the
// detailed port error, a log's context menu and the quit box. With DIALKITE_SCREENSHOTS
// set to a folder, each is saved there as a PNG to look at.

#include "support/widgets.h"

#include "console/recording.h"
#include "console/texts.h"
#include "desktop/changeportform.h"
#include "desktop/form1.h"
#include "desktop/gridview.h"
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

    QImage quit;
    grabNext(QStringLiteral("quit-box"), &quit);
    EXPECT_FALSE(form.close()); // answered with Cancel: the window stays
    EXPECT_FALSE(quit.isNull());
}
