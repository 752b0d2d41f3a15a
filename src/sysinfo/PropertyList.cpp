#include "sysinfo/PropertyList.h"

#include "text/NumberText.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <charconv>
#include <string_view>
#include <system_error>

namespace quorlan {

namespace {

using Token = QXmlStreamReader::TokenType;

// The number part of a text (numberBody after Qt's trimming), as Latin-1 bytes.
std::optional<QByteArray> unsignedPlus(const QString &text) {
    const QByteArray trimmed = text.trimmed().toLatin1();
    const std::optional<std::string_view> body =
        numberBody(std::string_view(trimmed.constData(), static_cast<std::size_t>(trimmed.size())));
    if (!body)
        return std::nullopt;
    return QByteArray(body->data(), static_cast<qsizetype>(body->size()));
}

std::optional<QVariant> integerValue(const QString &text) {
    const std::optional<QByteArray> digits = unsignedPlus(text);
    if (!digits)
        return std::nullopt;
    qint64 value = 0;
    const char *end = digits->constData() + digits->size();
    const auto [stop, error] = std::from_chars(digits->constData(), end, value, 10);
    if (error != std::errc{} || stop != end)
        return std::nullopt;
    return QVariant::fromValue(value);
}

std::optional<QVariant> realValue(const QString &text) {
    const std::optional<QByteArray> number = unsignedPlus(text);
    if (!number)
        return std::nullopt;
    double value = 0.0;
    const char *end = number->constData() + number->size();
    const auto [stop, error] = std::from_chars(number->constData(), end, value);
    if (error != std::errc{} || stop != end)
        return std::nullopt;
    return QVariant(value);
}

// The decimal value of count ASCII digits of text from position at (checked by the caller).
int digitsAt(const QString &text, qsizetype at, qsizetype count) {
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i)
        value = value * 10 + (text.at(i).unicode() - u'0');
    return value;
}

std::optional<QVariant> dateValue(const QString &written) {
    const QString text = written.trimmed();
    static const QString layout = QStringLiteral("0000-00-00T00:00:00Z");
    if (text.size() != layout.size())
        return std::nullopt;
    for (qsizetype i = 0; i < layout.size(); ++i) {
        const bool digit = text.at(i) >= u'0' && text.at(i) <= u'9';
        if (layout.at(i) == u'0' ? !digit : text.at(i) != layout.at(i))
            return std::nullopt;
    }
    const QDate date(digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2));
    const QTime time(digitsAt(text, 11, 2), digitsAt(text, 14, 2), digitsAt(text, 17, 2));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QVariant(QDateTime(date, time, QTimeZone::utc()).toUTC());
}

std::optional<QVariant> dataValue(const QString &text) {
    QByteArray base64;
    base64.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')
            continue;
        base64.append(static_cast<char>(c.unicode()));
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (decoded.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
        return std::nullopt;
    return QVariant(decoded.decoded);
}

std::optional<QVariant> boolValue(const QString &text, bool value) {
    if (!text.trimmed().isEmpty())
        return std::nullopt;
    return QVariant(value);
}

// Reads one document. Every read function is entered with the reader on the start element of
// what it reads and leaves it on the matching end element; it returns nothing after noting why.
class Parser {
public:
    explicit Parser(const QByteArray &xml) : reader_(xml) {}

    PropertyList run() {
        std::optional<QVariant> root = readDocument();
        if (reader_.hasError())
            return {std::nullopt, describe(reader_.errorString())};
        if (!root)
            return {std::nullopt, describe(error_)};
        return {std::move(root), {}};
    }

private:
    QXmlStreamReader reader_;
    QString error_;

    QString describe(const QString &why) const {
        return QStringLiteral("line %1: %2").arg(reader_.lineNumber()).arg(why);
    }

    std::nullopt_t fail(const QString &why) {
        if (error_.isEmpty())
            error_ = why;
        return std::nullopt;
    }

    // The next start or end element, skipping white space, comments and processing
    // instructions. Any other token (text, entity reference, error, end of input) is returned
    // as Invalid.
    Token nextElement() {
        while (!reader_.atEnd()) {
            const Token token = reader_.readNext();
            switch (token) {
            case Token::StartElement:
            case Token::EndElement:
                return token;
            case Token::Comment:
            case Token::ProcessingInstruction:
                continue;
            case Token::Characters:
                if (reader_.isWhitespace())
                    continue;
                fail(QStringLiteral("text where an element belongs"));
                return Token::Invalid;
            default:
                fail(QStringLiteral("unexpected %1").arg(reader_.tokenString()));
                return Token::Invalid;
            }
        }
        fail(QStringLiteral("the document ends early"));
        return Token::Invalid;
    }

    // Before the root element: the XML declaration, one document type without entity
    // declarations, comments, processing instructions and white space.
    bool readProlog() {
        while (!reader_.atEnd()) {
            const Token token = reader_.readNext();
            if (token == Token::StartElement)
                return true;
            if (token == Token::DTD && !reader_.entityDeclarations().isEmpty()) {
                fail(QStringLiteral("entity declarations are not allowed"));
                return false;
            }
            if (token == Token::Invalid)
                return false;
        }
        fail(QStringLiteral("no root element"));
        return false;
    }

    std::optional<QVariant> readDocument() {
        if (!readProlog())
            return std::nullopt;
        if (reader_.qualifiedName() != u"plist")
            return fail(QStringLiteral("the root element is not <plist>"));
        if (nextElement() != Token::StartElement)
            return fail(QStringLiteral("<plist> holds no value"));
        std::optional<QVariant> root = readValue(0);
        if (!root)
            return std::nullopt;
        if (nextElement() != Token::EndElement)
            return fail(QStringLiteral("<plist> holds more than one value"));
        while (!reader_.atEnd())
            reader_.readNext();
        return root;
    }

    // The text content of a leaf element; an element inside it or an unresolved entity fails.
    std::optional<QString> readText() {
        QString text;
        while (!reader_.atEnd()) {
            const Token token = reader_.readNext();
            if (token == Token::Characters)
                text += reader_.text();
            else if (token == Token::EndElement)
                return text;
            else if (token != Token::Comment && token != Token::ProcessingInstruction)
                return fail(QStringLiteral("unexpected %1 in a value").arg(reader_.tokenString()));
        }
        return fail(QStringLiteral("the document ends early"));
    }

    // depth: the number of arrays and dictionaries around the value.
    std::optional<QVariant> readValue(int depth) {
        const QString name = reader_.qualifiedName().toString();
        if (name == u"array" || name == u"dict") {
            if (depth >= PropertyList::maxDepth)
                return fail(QStringLiteral("nested deeper than %1").arg(PropertyList::maxDepth));
            return name == u"array" ? readArray(depth + 1) : readDict(depth + 1);
        }
        static const QStringList leaves = {"string", "integer", "real", "true",
                                           "false",  "date",    "data"};
        if (!leaves.contains(name))
            return fail(QStringLiteral("unknown element <%1>").arg(name));
        const std::optional<QString> text = readText();
        if (!text)
            return std::nullopt;
        std::optional<QVariant> value = leafValue(name, *text);
        if (!value)
            return fail(QStringLiteral("<%1> does not hold a valid value").arg(name));
        return value;
    }

    // name is one of the leaf elements.
    static std::optional<QVariant> leafValue(const QString &name, const QString &text) {
        if (name == u"string")
            return QVariant(text);
        if (name == u"integer")
            return integerValue(text);
        if (name == u"real")
            return realValue(text);
        if (name == u"true" || name == u"false")
            return boolValue(text, name == u"true");
        if (name == u"date")
            return dateValue(text);
        return dataValue(text);
    }

    std::optional<QVariant> readArray(int depth) {
        QVariantList list;
        for (Token token = nextElement(); token != Token::EndElement; token = nextElement()) {
            if (token != Token::StartElement)
                return std::nullopt;
            std::optional<QVariant> value = readValue(depth);
            if (!value)
                return std::nullopt;
            list.append(std::move(*value));
        }
        return QVariant(list);
    }

    std::optional<QVariant> readDict(int depth) {
        QVariantMap map;
        for (Token token = nextElement(); token != Token::EndElement; token = nextElement()) {
            if (token != Token::StartElement)
                return std::nullopt;
            if (reader_.qualifiedName() != u"key")
                return fail(QStringLiteral("a dictionary entry does not start with <key>"));
            const std::optional<QString> key = readText();
            if (!key)
                return std::nullopt;
            if (map.contains(*key))
                return fail(QStringLiteral("the key \"%1\" is repeated").arg(*key));
            if (nextElement() != Token::StartElement)
                return fail(QStringLiteral("the key \"%1\" has no value").arg(*key));
            std::optional<QVariant> value = readValue(depth);
            if (!value)
                return std::nullopt;
            map.insert(*key, std::move(*value));
        }
        return QVariant(map);
    }
};

} // namespace

PropertyList PropertyList::read(const QByteArray &xml) {
    if (xml.size() > maxBytes)
        return {std::nullopt, QStringLiteral("larger than %1 bytes").arg(maxBytes)};
    return Parser(xml).run();
}

} // namespace quorlan
