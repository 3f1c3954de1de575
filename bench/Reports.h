#pragma once

// A long exam report for the benchmarks: by default about 20 pages of 45
// lines of clinical text with bold, italic and underlined runs and tabs.

#include <QTextCursor>
#include <QTextDocument>

namespace bench {

inline const char* const kSentences[] = {
    "Situs solitus, concordância auriculoventricular e ventrículo-arterial.",
    "Retorno venoso sistémico e pulmonar normal; septo interauricular íntegro.",
    "Ventrículo esquerdo de dimensões e função sistólica global preservadas.",
    "Válvula mitral com folhetos finos, sem regurgitação significativa.",
    "Válvula aórtica tricúspide, sem estenose nem insuficiência.",
    "Arco aórtico à esquerda, sem sinais de coartação; istmo com fluxo laminar.",
    "Pequena comunicação interventricular perimembranosa com shunt esquerdo-direito.",
    "Pressão sistólica da artéria pulmonar estimada em 25 mmHg.",
    "Ausência de derrame pericárdico. Função diastólica adequada à idade.",
};

inline void buildReport(QTextDocument& doc, int lines = 20 * 45)
{
    QFont font("Arial");
    font.setPixelSize(13);
    doc.setDefaultFont(font);
    QTextCursor cursor(&doc);
    QTextCharFormat plain, bold, italic, underline;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    underline.setFontUnderline(true);
    constexpr int kSentenceCount = int(std::size(kSentences));
    for (int line = 0; line < lines; ++line) {
        if (line > 0)
            cursor.insertBlock();
        switch (line % 9) {
        case 0:
            cursor.insertText("Ecocardiograma de controlo nº " + QString::number(line / 9), bold);
            break;
        case 4:
            cursor.insertText("Peso:\t14,5 kg\tAltura:\t98 cm\tSC:\t0,63 m²", plain);
            break;
        default:
            cursor.insertText(QString::fromUtf8(kSentences[line % kSentenceCount]), plain);
            if (line % 3 == 0) {
                cursor.insertText(" Conclusão: ", underline);
                cursor.insertText("sem alterações de relevo.", italic);
            }
        }
    }
}

} // namespace bench
