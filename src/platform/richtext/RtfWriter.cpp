#include "platform/richtext/RtfWriter.h"

#include "platform/richtext/Cp1252.h"

#include <QHash>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace richtext::detail {

namespace {

// Characters RTF cannot carry: control characters and QTextDocument's
// object, frame and paragraph markers.
bool isDropped(char16_t c)
{
    return (c < 0x20 && c != '\t') || c == 0x7F || c == QChar::ObjectReplacementCharacter
           || c == 0xFDD0 || c == 0xFDD1 || c == QChar::ParagraphSeparator;
}

bool writesText(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return !isDropped(c.unicode()); });
}

// The character formatting RTF can express, with fonts and colours as
// indexes into the tables written in the header (colour 0: automatic).
struct Run {
    int font = 0;
    int halfPoints = 24;
    int color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

class Writer {
public:
    explicit Writer(const QTextDocument* doc) : doc_(doc), defaultFont_(doc->defaultFont())
    {
        fontIndex(defaultFont_.family()); // \deff0
        colors_.append(QRgb(0));          // the automatic entry
    }

    QString write()
    {
        collectFormats();
        out_.reserve(doc_->characterCount() * 11 / 10 + 256 + 64 * doc_->blockCount());
        writeHeader();
        const int lastBlock = doc_->blockCount() - 1;
        for (QTextBlock block = doc_->begin(); block.isValid(); block = block.next())
            writeBlock(block, block.blockNumber() == lastBlock);
        out_ += u'}';
        return out_;
    }

private:
    // Resolves every character format that will be written once, which
    // also fills the font and colour tables before the header is written.
    // Formats of text that writes nothing stay out of the tables.
    void collectFormats()
    {
        for (QTextBlock block = doc_->begin(); block.isValid(); block = block.next()) {
            bool empty = true;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                if (writesText(it.fragment().text())) {
                    runFor(it.fragment().charFormatIndex(), it.fragment().charFormat());
                    empty = false;
                }
            }
            if (empty)
                runFor(block.charFormatIndex(), block.charFormat());
        }
    }

    const Run& runFor(int formatIndex, const QTextCharFormat& format)
    {
        auto it = runs_.find(formatIndex);
        if (it == runs_.end())
            it = runs_.insert(formatIndex, makeRun(format));
        return *it;
    }

    Run makeRun(const QTextCharFormat& format)
    {
        // Properties the format leaves unset come from the document's font.
        const QFont font = format.font().resolve(defaultFont_);
        Run run;
        run.font = fontIndex(font.family());
        const double points = font.pointSizeF() > 0 ? font.pointSizeF()
                              : font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0
                                                     : 12.0;
        run.halfPoints = std::max(1, int(std::lround(points * 2)));
        run.bold = font.bold();
        run.italic = font.italic();
        run.underline = font.underline();
        run.strike = font.strikeOut();
        if (format.hasProperty(QTextFormat::ForegroundBrush)
            && format.foreground().style() != Qt::NoBrush)
            run.color = colorIndex(format.foreground().color().rgb());
        return run;
    }

    int fontIndex(QString family)
    {
        // As the reader will see it: ';' would end the entry, and control
        // characters and surrounding spaces are dropped.
        family.remove(u';');
        family.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
        family = family.trimmed();
        const auto it = fontIndexes_.constFind(family);
        if (it != fontIndexes_.constEnd())
            return *it;
        fonts_.append(family);
        fontIndexes_.insert(family, int(fonts_.size() - 1));
        return int(fonts_.size() - 1);
    }

    int colorIndex(QRgb rgb)
    {
        rgb |= 0xFF000000u; // RTF has no transparency
        const auto it = colorIndexes_.constFind(rgb);
        if (it != colorIndexes_.constEnd())
            return *it;
        colors_.append(rgb);
        colorIndexes_.insert(rgb, int(colors_.size() - 1));
        return int(colors_.size() - 1);
    }

    void writeHeader()
    {
        out_ += u"{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            out_ += u"{\\f";
            out_ += QString::number(i);
            out_ += u"\\fnil\\fcharset0 ";
            writeText(fonts_[i]);
            out_ += u";}";
        }
        out_ += u'}';
        if (colors_.size() > 1) {
            out_ += u"{\\colortbl ;";
            for (qsizetype i = 1; i < colors_.size(); ++i) {
                word(u"\\red", qRed(colors_[i]));
                word(u"\\green", qGreen(colors_[i]));
                word(u"\\blue", qBlue(colors_[i]));
                out_ += u';';
            }
            out_ += u'}';
        }
        out_ += u'\n';
    }

    void writeBlock(const QTextBlock& block, bool last)
    {
        out_ += u"\\pard";
        const Qt::Alignment align = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (align & Qt::AlignHCenter)
            out_ += u"\\qc";
        else if (align & (Qt::AlignRight | Qt::AlignTrailing))
            out_ += u"\\qr";
        else if (align & Qt::AlignJustify)
            out_ += u"\\qj";
        delimit_ = true;

        textWritten_ = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            nextRun_ = runs_.value(fragment.charFormatIndex());
            runPending_ = true;
            writeText(fragment.text());
        }
        runPending_ = false;
        const bool empty = !textWritten_;
        if (empty) // keeps the height of an empty line
            switchTo(runs_.value(block.charFormatIndex()));
        // \par separates paragraphs; the reader ignores a final \par, so an
        // empty last paragraph needs one of its own to survive.
        if (!last)
            out_ += u"\\par\n";
        else if (empty && block.blockNumber() > 0)
            out_ += u"\\par";
        delimit_ = false;
    }

    // Writes the control words that change the current formatting to `run`.
    void switchTo(const Run& run)
    {
        if (run.font != current_.font)
            word(u"\\f", run.font);
        if (run.halfPoints != current_.halfPoints)
            word(u"\\fs", run.halfPoints);
        if (run.color != current_.color)
            word(u"\\cf", run.color);
        toggle(u"\\b", current_.bold, run.bold);
        toggle(u"\\i", current_.italic, run.italic);
        if (run.underline != current_.underline)
            word(run.underline ? u"\\ul" : u"\\ulnone");
        toggle(u"\\strike", current_.strike, run.strike);
        current_ = run;
    }

    void toggle(QStringView name, bool from, bool to)
    {
        if (from == to)
            return;
        out_ += name;
        if (!to)
            out_ += u'0';
        delimit_ = true;
    }

    void word(QStringView name, int value)
    {
        out_ += name;
        out_ += QString::number(value);
        delimit_ = true;
    }

    void word(QStringView name)
    {
        out_ += name;
        delimit_ = true;
    }

    void writeText(QStringView text)
    {
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            if (isDropped(c))
                continue;
            if (runPending_) { // the formatting changes where its text starts
                switchTo(nextRun_);
                runPending_ = false;
            }
            textWritten_ = true;
            if (c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}') {
                if (delimit_) {
                    out_ += u' '; // ends the control word before
                    delimit_ = false;
                }
                out_ += qc;
                continue;
            }
            writeSpecial(c);
        }
    }

    void writeSpecial(char16_t c)
    {
        switch (c) {
        case '\\': out_ += u"\\\\"; break;
        case '{': out_ += u"\\{"; break;
        case '}': out_ += u"\\}"; break;
        case '\t': word(u"\\tab"); return;
        case QChar::LineSeparator: word(u"\\line"); return;
        case QChar::Nbsp: out_ += u"\\~"; break;
        case QChar::SoftHyphen: out_ += u"\\-"; break;
        default: {
            const int byte = cp1252::fromUnicode(c);
            if (byte >= 0) {
                static const char hex[] = "0123456789abcdef";
                out_ += u"\\'";
                out_ += QChar(hex[byte >> 4]);
                out_ += QChar(hex[byte & 15]);
            } else {
                out_ += u"\\u";
                out_ += QString::number(c > 32767 ? int(c) - 65536 : int(c));
                out_ += u'?';
            }
        }
        }
        delimit_ = false;
    }

    const QTextDocument* doc_;
    QFont defaultFont_;
    QStringList fonts_;
    QHash<QString, int> fontIndexes_;
    QList<QRgb> colors_;
    QHash<QRgb, int> colorIndexes_;
    QHash<int, Run> runs_; // by the document's format index
    QString out_;
    Run current_;          // what a reader has in effect at this point
    Run nextRun_;          // for the next character written, when runPending_
    bool runPending_ = false;
    bool textWritten_ = false; // in the current paragraph
    bool delimit_ = false; // a control word was written last: text needs a space first
};

} // namespace

QString writeRtf(const QTextDocument* doc)
{
    return Writer(doc).write();
}

} // namespace richtext::detail
