#include "Records_Command.h"

#include <QRegularExpression>

#include <cstdio>

void Print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

void Error(const QString& text)
{
    std::fputs(("tavrelo-records: " + text + "\n").toLocal8Bit().constData(), stderr);
}

int Usage_Error(const QString& command, const QString& text)
{
    Error(text);
    std::fprintf(stderr, "Try 'tavrelo-records %s--help'.\n",
                 command.isEmpty() ? "" : qPrintable(command + " "));
    return Wrong_Usage;
}

Records_Command::Records_Command(const QString& command, const QString& description, const QString& syntax)
    : name(command), help(QStringList{"h", "help"}, "Shows this help.")
{
    parser.setApplicationDescription(description);
    parser.addOption(help);
    parser.addPositionalArgument(syntax, QString(), syntax);
}

int Records_Command::Parse(const QStringList& arguments, int min_positional, int max_positional)
{
    if (!parser.parse(arguments))
        return Usage_Error(name, parser.errorText());
    if (parser.isSet(help))
    {
        // The parser would name the program by its path; the command is what the reader typed.
        Print(
            parser.helpText().replace(QRegularExpression("^Usage: \\S+"), "Usage: tavrelo-records " + name));
        return -1;
    }
    const int count = parser.positionalArguments().size();
    if (count < min_positional)
        return Usage_Error(name, QStringLiteral("%1 needs more arguments").arg(name));
    if (count > max_positional)
        return Usage_Error(
            name,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[max_positional]));
    return Done;
}

QString Records_Command::Argument(int i) const
{
    return parser.positionalArguments()[i];
}
