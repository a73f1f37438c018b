// docs/wire-protocol.md against the code: its worked examples are the frames
// our encoder makes and the answers the unit emulator gives on the demo bus.
#include "TestSeams.h"
#include "core/ZelkRoutines.h"
#include "device/ModbusFrame.h"
#include "device/SimulatedBus.h"
#include "device/ZelkRegisterMap.h"
#include "unitsim/UnitRegisterServer.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QByteArray hexLine(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

// Catches a document that no longer says what goes on the line: every
// "request:" line of the document is a whole RTU frame whose check bytes our
// encoder computes, and the "answer:" after it (a long one runs on over
// indented lines) is, byte for byte, what the emulator answers on the demo
// bus (the examples run in document order, so a write example is seen by the
// reads after it).
TEST(WireProtocolDoc, WorkedExamplesAreWhatTheCodeSends)
{
    QFile doc(QStringLiteral(ZELK_DOCS_DIR "/wire-protocol.md"));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(doc.readAll());

    TestEnvironment env;
    env.copyShipped(QStringLiteral("scale.ini"));
    SimulatedBus bus(env.folder());
    bus.setNoiseEnabled(false);
    bus.setWireModelEnabled(false);
    ASSERT_EQ(bus.OpenPort(QStringLiteral("COM1")), CmdOk);
    UnitRegisterServer server(bus);

    static const QRegularExpression line(
        QStringLiteral("^(request|answer):\\s+((?:[0-9A-F]{2}(?: |\n {9})?)+)$"),
        QRegularExpression::MultilineOption);
    QByteArray request;
    int examples = 0;
    for (auto it = line.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        const QByteArray bytes = hexLine(m.captured(2).remove(QLatin1Char(' ')).remove('\n'));
        if (m.captured(1) == QLatin1String("request")) {
            ASSERT_GE(bytes.size(), 4) << m.captured(0).toStdString();
            const QByteArray body = bytes.left(bytes.size() - 2);
            EXPECT_EQ(bytes, ModbusFrame::rtuFrame(quint8(body[0]), body.mid(1)))
                << "should be: "
                << ModbusFrame::rtuFrame(quint8(body[0]), body.mid(1))
                       .toHex(' ')
                       .toUpper()
                       .toStdString();
            request = bytes;
            continue;
        }
        ASSERT_FALSE(request.isEmpty()) << "an answer without its request";
        const quint8 unit = quint8(request[0]);
        const auto answer = server.answer(unit, request.mid(1, request.size() - 3));
        ASSERT_TRUE(answer.has_value()) << request.toHex(' ').toStdString();
        const QByteArray expected = ModbusFrame::rtuFrame(unit, *answer);
        EXPECT_EQ(bytes, expected) << "answer to " << request.toHex(' ').toUpper().toStdString()
                                   << " should be: " << expected.toHex(' ').toUpper().toStdString();
        EXPECT_NE(ModbusFrame::parseAnswer(request.mid(1, request.size() - 3), answer.value()).kind,
                  ModbusFrame::Answer::Kind::Invalid);
        request.clear();
        ++examples;
    }
    EXPECT_GE(examples, 11);
    bus.ClosePort();
}
