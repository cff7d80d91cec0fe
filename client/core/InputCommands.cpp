// SPDX-License-Identifier: GPL-3.0-or-later
#include "client/core/InputCommands.h"

#include "client/core/WireText.h"
#include "common/ZindleDivideCombine.h"
#include "common/ZindleMessages.h"

namespace client {

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// Leading and trailing spaces removed (spaces only, as the input line's rule says).
QString TrimSpaces(const QString& text) {
    qsizetype start = 0, end = text.size();
    while (start < end && text.at(start) == u' ')
        ++start;
    while (end > start && text.at(end - 1) == u' ')
        --end;
    return text.mid(start, end - start);
}

enum class Slash { None, Away, Action, Other };

// t is the trimmed line. "/away..." in any case toggles away; "/me " is an action.
Slash ClassifySlash(const QString& t) {
    if (!t.startsWith(u'/'))
        return Slash::None;
    if (t.mid(1, 4).toLower() == QLatin1String("away"))
        return Slash::Away;
    if (t.mid(1, 3).toLower() == QLatin1String("me "))
        return Slash::Action;
    return Slash::Other;
}

InputCommand ChatLine(const QString& line) {
    InputCommand command;
    command.kind = InputCommand::Kind::Send;
    command.strData = ZindleDivideCombine::Escape(EncodeText(line));
    command.SpecialPacket = false;
    return command;
}

InputCommand Priv(const QString& partnerTag, const QString& text, const QString& echo) {
    InputCommand command;
    command.kind = InputCommand::Kind::Send;
    command.strData = std::string(ZindleMessages::kPriv) +
                      ZindleDivideCombine::Combine({ToWire(partnerTag), EncodeText(text)});
    command.SpecialPacket = true;
    command.echo = SendableText(echo);
    return command;
}
} // namespace

InputCommand PublicInput(const QString& input, const QString& localNickname) {
    const QString t = TrimSpaces(input);
    switch (ClassifySlash(t)) {
    case Slash::Away:
        return InputCommand{InputCommand::Kind::SetAway, {}, false, {}};
    case Slash::Action:
        return ChatLine(QStringLiteral("* ") + localNickname + u' ' + t.mid(4) + kCrLf);
    case Slash::Other:
        return {};
    case Slash::None:
        break;
    }
    return ChatLine(localNickname + QStringLiteral("> ") + input + kCrLf);
}

InputCommand PrivateInput(const QString& input, const QString& localNickname, const QString& partnerTag) {
    const QString t = TrimSpaces(input);
    switch (ClassifySlash(t)) {
    case Slash::Away:
        return InputCommand{InputCommand::Kind::SetAway, {}, false, {}};
    case Slash::Action:
        // The partner's client puts the nickname in; the line keeps its "/me ".
        return Priv(partnerTag, input + kCrLf,
                    QStringLiteral("* ") + localNickname + u' ' + t.mid(4) + kCrLf);
    case Slash::Other:
        return {};
    case Slash::None:
        break;
    }
    return Priv(partnerTag, input + kCrLf, localNickname + QStringLiteral("> ") + input + kCrLf);
}

QString IncomingPrivateLine(const QString& partnerNickname, const QString& text) {
    if (text.startsWith(QLatin1String("/me ")))
        return QStringLiteral("* ") + partnerNickname + u' ' + text.mid(4);
    return partnerNickname + QStringLiteral("> ") + text;
}

} // namespace client
