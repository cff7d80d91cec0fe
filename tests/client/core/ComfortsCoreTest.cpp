// SPDX-License-Identifier: GPL-3.0-or-later
// The conveniences' rules without windows: input history, nickname completion,
// link spans, mentions, log file names and lines, and the log writer's thread
// against missing folders and a full disk.
#include "client/core/ConversationLog.h"
#include "client/core/DesktopNotifications.h"
#include "client/core/InputHistory.h"
#include "client/core/LinkSpans.h"
#include "client/core/LogWriter.h"
#include "client/core/Mentions.h"
#include "client/core/NicknameCompletion.h"
#include "tests/support/EventWait.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace client;

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace client {
void PrintTo(const LinkSpan& s, std::ostream* os) {
    *os << "{" << s.start << ", " << s.length << ", " << s.url.toStdString() << "}";
}
void PrintTo(const InputState& s, std::ostream* os) {
    *os << '"' << s.text.toStdString() << "\" @" << s.caret;
}
} // namespace client

namespace {

TEST(InputHistoryTest, UpWalksBackNewestFirstAndDownReturnsTheDraft) {
    InputHistory history;
    EXPECT_FALSE(history.older(QStringLiteral("x")));
    for (const char* line : {"een", "twee", "twee", "", "drie"})
        history.record(QString::fromLatin1(line));
    EXPECT_EQ(history.size(), 3); // no empty line, no repeat of the newest

    EXPECT_EQ(history.older(QStringLiteral("half getypt")), QStringLiteral("drie"));
    EXPECT_EQ(history.older(QStringLiteral("drie")), QStringLiteral("twee"));
    EXPECT_EQ(history.older(QStringLiteral("twee")), QStringLiteral("een"));
    EXPECT_FALSE(history.older(QStringLiteral("een"))); // the oldest stays
    EXPECT_EQ(history.newer(), QStringLiteral("twee"));
    EXPECT_EQ(history.newer(), QStringLiteral("drie"));
    EXPECT_EQ(history.newer(), QStringLiteral("half getypt"));
    EXPECT_FALSE(history.newer());

    // Sending starts the walk at the bottom again, with a fresh draft.
    history.older(QString());
    history.record(QStringLiteral("vier"));
    EXPECT_EQ(history.older(QStringLiteral("nieuw")), QStringLiteral("vier"));
    EXPECT_EQ(history.newer(), QStringLiteral("nieuw"));
}

TEST(InputHistoryTest, KeepsTheNewestHundred) {
    InputHistory history;
    for (int i = 1; i <= 150; ++i)
        history.record(QString::number(i));
    EXPECT_EQ(history.size(), InputHistory::kLimit);
    QString oldest;
    while (const auto line = history.older(QString()))
        oldest = *line;
    EXPECT_EQ(oldest, QStringLiteral("51"));
}

const QStringList kUsers{QStringLiteral("Piet"), QStringLiteral("Away|pieter"), QStringLiteral("Kees"),
                         QStringLiteral("PIM")};

TEST(NicknameCompletionTest, CompletesCyclesAndAddsAColonOnlyAtTheLineStart) {
    NicknameCompletion completion;
    // Matches in any case, in alphabetical order, the away prefix dropped.
    auto first = completion.complete({QStringLiteral("pi"), 2}, kUsers);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (InputState{QStringLiteral("Piet: "), 6}));
    EXPECT_EQ(completion.complete(*first, kUsers), (InputState{QStringLiteral("pieter: "), 8}));
    auto third = completion.complete({QStringLiteral("pieter: "), 8}, kUsers);
    EXPECT_EQ(third, (InputState{QStringLiteral("PIM: "), 5}));
    EXPECT_EQ(completion.complete(*third, kUsers), (InputState{QStringLiteral("Piet: "), 6})); // round again

    // In the middle of a line: the word before the caret, the rest kept, no colon.
    completion.reset();
    EXPECT_EQ(completion.complete({QStringLiteral("hoi ke, hoe"), 6}, kUsers),
              (InputState{QStringLiteral("hoi Kees, hoe"), 8}));
}

TEST(NicknameCompletionTest, NothingToCompleteLeavesTheTabToTheFocus) {
    NicknameCompletion completion;
    EXPECT_FALSE(completion.complete({QString(), 0}, kUsers));
    EXPECT_FALSE(completion.complete({QStringLiteral("hoi "), 4}, kUsers)); // no word before the caret
    EXPECT_FALSE(completion.complete({QStringLiteral("jan"), 3}, kUsers));
    EXPECT_FALSE(completion.complete({QStringLiteral("pi"), 2}, {}));

    // Typing between two Tabs starts a new completion from what is there now.
    auto done = completion.complete({QStringLiteral("k"), 1}, kUsers);
    ASSERT_TRUE(done);
    EXPECT_EQ(completion.complete({done->text + QStringLiteral("pi"), done->caret + 2}, kUsers),
              (InputState{QStringLiteral("Kees: Piet"), 10}));
}

struct LinkCase {
    const char* line;
    std::vector<LinkSpan> spans;
};

TEST(LinkSpansTest, ExactSpansOfTheFourBeginnings) {
    const std::vector<LinkCase> cases = {
        {"zie http://a.nl/x?y=1&z=2#k nu", {{4, 23, "http://a.nl/x?y=1&z=2#k"}}},
        {"HTTPS://A.NL", {{0, 12, "HTTPS://A.NL"}}},
        {"mail mailto:jan@x.nl.", {{5, 15, "mailto:jan@x.nl"}}},
        {"www.zindle.nl, of www.b.nl!", {{0, 13, "http://www.zindle.nl"}, {18, 8, "http://www.b.nl"}}},
        // Punctuation after the address belongs to the sentence.
        {"(zie http://a.nl/b).", {{5, 13, "http://a.nl/b"}}},
        {"http://w.org/Foo_(bar), ja", {{0, 22, "http://w.org/Foo_(bar)"}}},
        {"\"http://a.nl\" en <http://b.nl>", {{1, 11, "http://a.nl"}, {18, 11, "http://b.nl"}}},
        {"Jan> http://a.nl?", {{5, 11, "http://a.nl"}}},
        {"http://a.nl\r\nwww.b.nl\r\n", {{0, 11, "http://a.nl"}, {13, 8, "http://www.b.nl"}}},
        // Not links: bare beginnings, glued to a word, other schemes.
        {"http:// en www. en mailto:", {}},
        {"xhttp://a.nl abc.www.b.nl", {}},
        {"ftp://a.nl file:///etc/passwd javascript:alert(1)", {}},
        {"<a href=\"x\">klik</a> &amp; <b>vet</b>", {}},
    };
    for (const LinkCase& c : cases) {
        std::vector<LinkSpan> expected;
        for (const LinkSpan& s : c.spans)
            expected.push_back(s);
        EXPECT_EQ(FindLinks(QString::fromLatin1(c.line)), expected) << c.line;
    }
}

TEST(LinkSpansTest, LongRunsOfBracketsOrPunctuationAreTrimmedInOnePass) {
    // A line a stranger can send: it must neither take ages nor lose the address.
    const QString brackets = QStringLiteral("(http://a.nl/x") + QString(60000, u')');
    EXPECT_EQ(FindLinks(brackets), (std::vector<LinkSpan>{{1, 13, QStringLiteral("http://a.nl/x")}}));
    const QString dots = QStringLiteral("www.a.nl") + QString(60000, u'.') + QStringLiteral(" www.b.nl");
    EXPECT_EQ(FindLinks(dots), (std::vector<LinkSpan>{{0, 8, QStringLiteral("http://www.a.nl")},
                                                      {60009, 8, QStringLiteral("http://www.b.nl")}}));
}

TEST(MentionTest, OnlyAnotherUsersLineThatNamesTheUser) {
    struct Case {
        const char* line;
        bool mentioned;
    };
    const Case cases[] = {
        {"Piet> hoi jan, alles goed?\r\n", true},
        {"Piet> JAN\r\n", true},
        {"* Piet zwaait naar Jan\r\n", true},
        {"Jan> ik ben Jan\r\n", false},         // the own line
        {"Piet> janneke en jansen\r\n", false}, // part of another word
        {"* Jan is de chatserver binnengekomen...\r\n", false},
        {"Message of the Day:\r\n---\r\nwelkom Jan\r\n---\r\n", false},
        {"**VERBINDING BEËINDIGD**\r\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindMention(QString::fromUtf8(c.line), QStringLiteral("Jan")).has_value(), c.mentioned)
            << c.line;
    const auto mention = FindMention(QStringLiteral("Piet> hoi Jan\r\n"), QStringLiteral("Jan"));
    ASSERT_TRUE(mention);
    EXPECT_EQ(mention->speaker, QStringLiteral("Piet"));
    EXPECT_EQ(mention->text, QStringLiteral("hoi Jan"));
    EXPECT_FALSE(FindMention(QStringLiteral("Piet> hoi\r\n"), QString()));
}

TEST(ConversationLogTest, NamesStayInsideTheLogsFolder) {
    const QString root = QStringLiteral("/data/logs");
    const QDate day(2026, 12, 8);
    EXPECT_EQ(LogFilePath(root, QStringLiteral("10.0.0.1_12345"), QString(), day),
              QStringLiteral("/data/logs/10.0.0.1_12345/kamer/2026-12-08.log"));
    EXPECT_EQ(LogFilePath(root, QStringLiteral("10.0.0.1_12345"), QStringLiteral("Piet"), day),
              QStringLiteral("/data/logs/10.0.0.1_12345/prive/Piet/2026-12-08.log"));
    for (const char* name :
         {"..", ".", "../../etc/passwd", "/etc", "a/../../b", ".verborgen", "", "  ", "\x01\n", "x\\..\\y"}) {
        const QString safe = SafeFileName(QString::fromLatin1(name));
        EXPECT_FALSE(safe.isEmpty()) << name;
        EXPECT_FALSE(safe.contains(u'/')) << name;
        EXPECT_FALSE(safe.startsWith(u'.')) << name;
        const QString path = LogFilePath(root, QString::fromLatin1(name), QString::fromLatin1(name), day);
        EXPECT_TRUE(QDir::cleanPath(path).startsWith(root + QLatin1Char('/'))) << name;
        EXPECT_EQ(QDir::cleanPath(path), path) << name; // nothing for cleanPath to fold
    }
    EXPECT_EQ(SafeFileName(QStringLiteral("Jan-José_2")), QStringLiteral("Jan-José_2"));
    EXPECT_EQ(SafeFileName(QString(200, u'x')).size(), 64);
}

TEST(ConversationLogTest, LinesAreOneTextLineWithControlsWrittenOut) {
    const QTime t(9, 5, 7);
    EXPECT_EQ(LogLineText(t, QStringLiteral("Piet> hoi\r\n")), QStringLiteral("[09:05:07] Piet> hoi\n"));
    EXPECT_EQ(LogLineText(t, QStringLiteral("Private message niet aangekomen")),
              QStringLiteral("[09:05:07] Private message niet aangekomen\n"));
    EXPECT_EQ(LogLineText(t, QStringLiteral("a\r\nb\r\n")), QStringLiteral("[09:05:07] a\nb\n"));
    EXPECT_EQ(LogLineText(t, QString::fromUtf8("x\x01y\x1b[2Jz\rë\r\n")),
              QString::fromUtf8("[09:05:07] x\\x01y\\x1b[2Jz\\x0dë\n"));
}

QString ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<missing>");
}

TEST(LogWriterTest, AppendsPerFileAndMakesPrivateFolders) {
    QTemporaryDir dir;
    QObject context;
    int failures = 0;
    {
        LogWriter writer(&context, [&](const QString&) { ++failures; });
        const QString a = dir.path() + QStringLiteral("/logs/s/kamer/d.log");
        const QString b = dir.path() + QStringLiteral("/logs/s/prive/Piet/d.log");
        writer.append(a, QStringLiteral("een\n"));
        writer.append(b, QString::fromUtf8("twee ë\n"));
        writer.append(a, QStringLiteral("drie\n"));
        ASSERT_TRUE(writer.waitWritten(5000));
        EXPECT_EQ(ReadAll(a), QStringLiteral("een\ndrie\n"));
        EXPECT_EQ(ReadAll(b), QString::fromUtf8("twee ë\n"));
        writer.append(a, QStringLiteral("vier\n")); // written before the writer ends
    }
    EXPECT_EQ(ReadAll(dir.path() + QStringLiteral("/logs/s/kamer/d.log")),
              QStringLiteral("een\ndrie\nvier\n"));
    EXPECT_EQ(QFileInfo(dir.path() + QStringLiteral("/logs/s/prive")).permissions() & 0x0077, 0);
    EXPECT_EQ(QFileInfo(dir.path() + QStringLiteral("/logs/s/prive/Piet/d.log")).permissions() & 0x0077, 0);
    zindletest::Pump(5);
    EXPECT_EQ(failures, 0);
}

TEST(LogWriterTest, AnUnwritableFolderOrAFullDiskIsReportedOnceAndStopsTheWriter) {
    QTemporaryDir dir;
    QObject context;
    for (const QString& where : {QStringLiteral("blocked"), QStringLiteral("full")}) {
        SCOPED_TRACE(where.toStdString());
        QString target;
        if (where == QStringLiteral("blocked")) {
            // A file where the folder should be: no folder can be made there, root or not.
            QFile blocker(dir.path() + QStringLiteral("/blocked"));
            ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
            target = dir.path() + QStringLiteral("/blocked/s/kamer/d.log");
        } else {
            ASSERT_TRUE(QFile::exists(QStringLiteral("/dev/full")));
            target = dir.path() + QStringLiteral("/full.log");
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), target));
        }
        QStringList reported;
        LogWriter writer(&context, [&](const QString& path) { reported << path; });
        writer.append(target, QStringLiteral("een\n"));
        writer.append(target, QStringLiteral("twee\n"));
        ASSERT_TRUE(writer.waitWritten(5000));
        EXPECT_TRUE(writer.failed());
        writer.append(target, QStringLiteral("drie\n")); // dropped without trying
        ASSERT_TRUE(writer.waitWritten(5000));
        ASSERT_TRUE(zindletest::WaitUntil([&] { return !reported.isEmpty(); }));
        zindletest::Pump(10);
        EXPECT_EQ(reported, QStringList{target});

        writer.resume();
        EXPECT_FALSE(writer.failed());
    }
}

// Lines that did not fit the queue are noted in the file that lost them, not in
// whichever file the next batch happens to start with.
TEST(LogWriterTest, TheLostLinesNoteGoesIntoTheFileThatLostThem) {
    QTemporaryDir dir;
    QObject context;
    // A pipe nobody reads yet holds the writer in its first batch.
    const QString pipe = dir.filePath(QStringLiteral("pipe.log"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString room = dir.filePath(QStringLiteral("kamer.log")),
                  other = dir.filePath(QStringLiteral("piet.log"));
    LogWriter writer(&context, [](const QString&) {});
    writer.append(pipe, QStringLiteral("p\n"));
    QThread::msleep(200);
    writer.append(other, QStringLiteral("piet\n"));
    const QString big(512 * 1024 - 1, u'k');
    for (int i = 0; i < 6; ++i)
        writer.append(room, big + QLatin1Char('\n'));
    QFile reader(pipe);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(reader.readAll(), QByteArray("p\n"));
    ASSERT_TRUE(writer.waitWritten(10000));
    EXPECT_EQ(ReadAll(other), QStringLiteral("piet\n"));
    EXPECT_TRUE(ReadAll(room).startsWith(
        QStringLiteral("(3 regels niet opgeslagen: de schijf hield het niet bij)\n")));
}

TEST(ConversationLogTest, PartnersWhoseNamesCameOutTheSameKeepFilesOfTheirOwn) {
    const QString longA = QString(64, u'a') + QLatin1Char('1'), longB = QString(64, u'a') + QLatin1Char('2');
    const QStringList names{QStringLiteral("a/b"), QStringLiteral("a_b"), QStringLiteral("a:b"), longA, longB,
                            QStringLiteral(".x"),  QStringLiteral("_x"),  QStringLiteral("a~b")};
    QStringList files;
    for (const QString& name : names) {
        const QString file = SafeFileName(name);
        EXPECT_LE(file.size(), 64) << name.toStdString();
        EXPECT_FALSE(file.contains(u'/')) << name.toStdString();
        files << file;
    }
    files.removeDuplicates();
    EXPECT_EQ(files.size(), names.size());
    EXPECT_EQ(SafeFileName(QStringLiteral("a_b")), QStringLiteral("a_b")); // a name that fits stays as it is
    EXPECT_EQ(SafeFileName(QStringLiteral("a/b")), SafeFileName(QStringLiteral("a/b")));
}

TEST(LinkSpansTest, MailLinksLoseWhatWouldAttachAFile) {
    const auto open = [](const char* url) { return OpenableUrl(QUrl(QString::fromLatin1(url))).toString(); };
    EXPECT_EQ(open("mailto:a@b.nl?subject=hoi&attach=/home/jan/.ssh/id_rsa&body=x"),
              QStringLiteral("mailto:a@b.nl?subject=hoi&body=x"));
    EXPECT_EQ(open("mailto:a@b.nl?Attachment=%2Fetc%2Fpasswd"), QStringLiteral("mailto:a@b.nl"));
    EXPECT_EQ(open("MAILTO:a@b.nl?%61ttach=/x&cc=c@d.nl"), QStringLiteral("mailto:a@b.nl?cc=c@d.nl"));
    EXPECT_EQ(open("mailto:a@b.nl"), QStringLiteral("mailto:a@b.nl"));
    // Other links are opened as they are.
    EXPECT_EQ(open("https://example.org/?attach=1"), QStringLiteral("https://example.org/?attach=1"));
}

TEST(DesktopNotificationsTest, WithoutABusNothingIsShownAndNothingWaits) {
    const QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                               QStringLiteral("zindle-no-bus"));
    ASSERT_FALSE(none.isConnected());
    DesktopNotifications notifications(none);
    notifications.show(QStringLiteral("Privebericht van Piet"), QStringLiteral("hoi"), 1);
    zindletest::Pump(10);
    EXPECT_EQ(notifications.open(), 0);
    QDBusConnection::disconnectFromBus(QStringLiteral("zindle-no-bus"));
}

} // namespace

namespace {

// The desktop's notification service as far as the client uses it.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString& app, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        Q_UNUSED(replacesId);
        Q_UNUSED(timeout);
        calls.append({app, icon, summary, body, actions, hints});
        return uint(100 + calls.size());
    }

signals:
    void ActionInvoked(uint id, const QString& actionKey);
    void NotificationClosed(uint id, uint reason);
};

TEST(DesktopNotificationsTest, SpeaksTheFreedesktopInterfaceOnAPrivateBus) {
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                 QStringLiteral("--print-address=1")});
    if (!daemon.waitForStarted(5000))
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    ASSERT_TRUE(daemon.waitForReadyRead(5000));
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    {
        QDBusConnection serviceBus = QDBusConnection::connectToBus(address, QStringLiteral("zindle-service"));
        ASSERT_TRUE(serviceBus.isConnected());
        FakeNotificationService service;
        ASSERT_TRUE(
            serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));

        DesktopNotifications notifications(
            QDBusConnection::connectToBus(address, QStringLiteral("zindle-client")));
        QList<quint64> clicked;
        QObject::connect(&notifications, &NotificationSink::activated, [&](quint64 key) { clicked << key; });
        notifications.show(QStringLiteral("Privebericht van Piet"), QStringLiteral("<b>hoi</b> & meer"), 42);
        ASSERT_TRUE(zindletest::WaitUntil([&] { return notifications.open() == 1; }, 5000));
        ASSERT_EQ(service.calls.size(), 1);
        const FakeNotificationService::Call& call = service.calls.first();
        EXPECT_EQ(call.app, QStringLiteral("ZindleChat"));
        EXPECT_EQ(call.summary, QStringLiteral("Privebericht van Piet"));
        EXPECT_EQ(call.body,
                  QStringLiteral("&lt;b&gt;hoi&lt;/b&gt; &amp; meer")); // chat text is never markup
        EXPECT_EQ(call.actions, (QStringList{QStringLiteral("default"), QStringLiteral("Openen")}));

        emit service.ActionInvoked(999, QStringLiteral("default")); // someone else's notification
        emit service.ActionInvoked(101, QStringLiteral("default"));
        ASSERT_TRUE(zindletest::WaitUntil([&] { return !clicked.isEmpty(); }, 5000));
        emit service.NotificationClosed(101, 2);
        ASSERT_TRUE(zindletest::WaitUntil([&] { return notifications.open() == 0; }, 5000));
        EXPECT_EQ(clicked, QList<quint64>{42});
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("zindle-service"));
    QDBusConnection::disconnectFromBus(QStringLiteral("zindle-client"));
    daemon.kill();
    daemon.waitForFinished(5000);
}

} // namespace

#include "ComfortsCoreTest.moc"
