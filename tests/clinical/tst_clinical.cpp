#include "common/TestMain.h"

#include "clinical/Exam.h"
#include "clinical/Numbers.h"
#include "clinical/ReportBlock.h"

#include <QTest>

using namespace clinical;

Q_DECLARE_METATYPE(clinical::Reference)
Q_DECLARE_METATYPE(clinical::BsaFormula)
Q_DECLARE_METATYPE(clinical::Body)
Q_DECLARE_METATYPE(clinical::Practice)

namespace {

const Site& site(const char* code)
{
    const Site* s = findSite(code);
    if (!s)
        qFatal("no site %s", code);
    return *s;
}

Body bsaOf(double bsa)
{
    Body body;
    body.bsa = bsa;
    return body;
}

Body heightWeight(double cm, double kg)
{
    Body body;
    body.heightCm = cm;
    body.weightKg = kg;
    return body;
}

Body weeks(double w)
{
    Body body;
    body.weeks = w;
    return body;
}

} // namespace

// Body surface area and z-scores against the published values, and against
// values worked out by hand from the papers' equations (not from this code's
// tables): a wrong coefficient in any row tested here fails.
class TestClinical : public QObject {
    Q_OBJECT

private slots:
    void bodySurfaceAreaByEachFormula_data()
    {
        QTest::addColumn<BsaFormula>("formula");
        QTest::addColumn<double>("height");
        QTest::addColumn<double>("weight");
        QTest::addColumn<double>("expected");
        // The published test values.
        QTest::newRow("Mosteller 170/75") << BsaFormula::Mosteller << 170.0 << 75.0 << 1.882;
        QTest::newRow("DuBois 170/75") << BsaFormula::DuBois << 170.0 << 75.0 << 1.864;
        QTest::newRow("Haycock 170/75") << BsaFormula::Haycock << 170.0 << 75.0 << 1.895;
        QTest::newRow("Mosteller 185/90") << BsaFormula::Mosteller << 185.0 << 90.0 << 2.151;
        QTest::newRow("DuBois 185/90") << BsaFormula::DuBois << 185.0 << 90.0 << 2.141;
        QTest::newRow("Haycock 185/90") << BsaFormula::Haycock << 185.0 << 90.0 << 2.161;
    }
    void bodySurfaceAreaByEachFormula()
    {
        QFETCH(BsaFormula, formula);
        QFETCH(double, height);
        QFETCH(double, weight);
        QFETCH(double, expected);
        QVERIFY2(std::abs(bodySurfaceArea(formula, height, weight) - expected) < 0.001,
                 qPrintable(QString::number(bodySurfaceArea(formula, height, weight))));
    }

    void zScoresAndPredictedValues_data()
    {
        QTest::addColumn<Reference>("reference");
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<Body>("body");
        QTest::addColumn<BsaFormula>("formula"); // the practice's
        QTest::addColumn<double>("z");
        QTest::addColumn<double>("predicted");
        const auto P = Reference::Phn2017, D = Reference::Detroit2008, S = Reference::Schneider2005;
        const auto H = BsaFormula::Haycock, DB = BsaFormula::DuBois;
        // Lopez's worked example: BSA 0.3, mitral lateral 11 mm -> -1.008.
        QTest::newRow("PHN mitral, Lopez") << P << "anel_m" << 11.0 << bsaOf(0.3) << H << -1.0077 << 12.214;
        QTest::newRow("PHN root") << P << "ao" << 20.0 << bsaOf(0.8) << H << 0.9782 << 18.425;
        QTest::newRow("PHN left main (mm)") << P << "tce" << 3.1 << bsaOf(1.2) << H << -0.1652 << 3.202;
        // BSA by Haycock whatever the practice chose: the paper's own.
        QTest::newRow("PHN LVEDD, 150 cm 40 kg") << P << "ved" << 42.0 << heightWeight(150, 40) << DB << -0.4219
                                                 << 43.559;
        QTest::newRow("PHN LV mass (g)") << P << "massa_ve" << 80.0 << bsaOf(1.4) << H << -0.0538 << 80.742;
        QTest::newRow("PHN LV volume (mL)") << P << "vdf_ve" << 30.0 << bsaOf(0.6) << H << -0.3132 << 31.925;
        QTest::newRow("PHN posterior wall") << P << "pp" << 5.0 << bsaOf(0.5) << H << 0.9973 << 4.32;
        QTest::newRow("PHN pulmonary long axis") << P << "anel_p_el" << 15.0 << bsaOf(0.9) << H << -1.5316 << 19.069;
        QTest::newRow("Detroit LVEDD") << D << "ved" << 40.0 << bsaOf(1.0) << H << -0.1071 << 40.431;
        QTest::newRow("Detroit left atrium") << D << "ae" << 20.0 << bsaOf(0.5) << H << 1.1651 << 16.962;
        QTest::newRow("Detroit RV") << D << "vd" << 12.0 << bsaOf(0.3) << H << 0.2074 << 11.415;
        // BSA by the practice's formula.
        QTest::newRow("Detroit root, DuBois") << D << "ao" << 25.0 << heightWeight(150, 40) << DB << 0.7268 << 23.087;
        QTest::newRow("Detroit RPA") << D << "apd" << 8.0 << bsaOf(0.8) << H << -1.8936 << 10.92;
        QTest::newRow("Detroit isthmus") << D << "istmo" << 9.0 << bsaOf(1.3) << H << -2.3913 << 13.332;
        QTest::newRow("Detroit abdominal aorta") << D << "ao_abd" << 10.0 << bsaOf(0.9) << H << -0.7122 << 11.003;
        // Schneider's published value: pulmonary valve 8.8 mm at 36+6 -> 0.91.
        QTest::newRow("Schneider pulmonary") << S << "anel_p" << 8.8 << weeks(36 + 6 / 7.0) << H << 0.9059 << 7.888;
        QTest::newRow("Schneider aortic") << S << "anel_ao" << 5.0 << weeks(28) << H << 0.9148 << 4.447;
        QTest::newRow("Schneider LVEDD") << S << "ved" << 10.0 << weeks(24 + 3 / 7.0) << H << 0.9225 << 8.66;
        QTest::newRow("Schneider ductus") << S << "canal" << 4.0 << weeks(32) << H << 0.0675 << 3.949;
        QTest::newRow("Schneider RV length") << S << "comp_vd" << 20.0 << weeks(30 + 2 / 7.0) << H << -0.5807
                                             << 22.021;
        QTest::newRow("Schneider RV") << S << "vd" << 12.0 << weeks(34) << H << -1.1727 << 14.211;
    }
    void zScoresAndPredictedValues()
    {
        QFETCH(Reference, reference);
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(Body, body);
        QFETCH(BsaFormula, formula);
        QFETCH(double, z);
        QFETCH(double, predicted);
        const NormalOrWhy n = normalFor(reference, site(qPrintable(code)), body, Practice{formula, Reference::Phn2017});
        QVERIFY2(n.normal, qPrintable(n.why));
        QVERIFY2(std::abs(n.normal->zOf(value) - z) < 0.0005, qPrintable(QString::number(n.normal->zOf(value))));
        QVERIFY2(std::abs(n.normal->predicted() - predicted) < 0.001,
                 qPrintable(QString::number(n.normal->predicted())));
        // z = -2 and +2 are values of the site, back and forth.
        QVERIFY(std::abs(n.normal->zOf(n.normal->valueAt(-2)) + 2) < 1e-9);
        QVERIFY(n.normal->valueAt(-2) < predicted && predicted < n.normal->valueAt(2));
    }

    void theNormalRangeInMillimetres()
    {
        // PHN is linear in the value: (2.23 -/+ 2 * 0.22) * sqrt(0.3) cm.
        const Normal phn = *normalFor(Reference::Phn2017, site("anel_m"), bsaOf(0.3), {}).normal;
        QVERIFY(std::abs(phn.valueAt(-2) - 9.804) < 0.001 && std::abs(phn.valueAt(2) - 14.624) < 0.001);
        // Detroit is log-normal: 40.431 mm * exp(-/+ 2 * 0.1).
        const Normal detroit = *normalFor(Reference::Detroit2008, site("ved"), bsaOf(1.0), {}).normal;
        QVERIFY(std::abs(detroit.valueAt(-2) - 33.102) < 0.005 && std::abs(detroit.valueAt(2) - 49.383) < 0.005);
        QCOMPARE(detroit.basis(), QString::fromUtf8("SC 1,00 m²"));
        QCOMPARE(normalFor(Reference::Detroit2008, site("ved"), heightWeight(150, 40), {}).normal->basis(),
                 QString::fromUtf8("SC 1,29 m² (Haycock)"));
    }

    void whichReferenceJudgesASite_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("fetal");
        QTest::addColumn<Reference>("preferred");
        QTest::addColumn<QString>("expected"); // a reference key, or empty
        const auto P = Reference::Phn2017, D = Reference::Detroit2008;
        QTest::newRow("M-mode column by Detroit") << "siv" << false << P << "detroit2008";
        QTest::newRow("aortic root column by Detroit") << "ao" << false << P << "detroit2008";
        QTest::newRow("both cover: preferred PHN") << "anel_ao" << false << P << "phn2017";
        QTest::newRow("both cover: preferred Detroit") << "anel_ao" << false << D << "detroit2008";
        QTest::newRow("only PHN has it") << "anel_p_el" << false << D << "phn2017";
        QTest::newRow("only Detroit has it") << "ao_abd" << false << P << "detroit2008";
        QTest::newRow("fetal exam, Schneider's site") << "vd" << true << P << "schneider2005";
        QTest::newRow("fetal exam, not Schneider's") << "siv" << true << P << "";
        QTest::newRow("fetal-only site after birth") << "canal" << false << P << "";
        QTest::newRow("no reference") << "fe" << false << P << "";
    }
    void whichReferenceJudgesASite()
    {
        QFETCH(QString, code);
        QFETCH(bool, fetal);
        QFETCH(Reference, preferred);
        QFETCH(QString, expected);
        const auto r = referenceFor(site(qPrintable(code)), fetal, Practice{BsaFormula::Haycock, preferred});
        QCOMPARE(r ? referenceKey(*r) : QString(), expected);
    }

    void aBodyOutsideTheReferencePopulationIsMarked_data()
    {
        QTest::addColumn<Reference>("reference");
        QTest::addColumn<Body>("body");
        QTest::addColumn<QString>("outside"); // a part of the reason, or empty
        const auto P = Reference::Phn2017, D = Reference::Detroit2008;
        QTest::newRow("PHN inside") << P << heightWeight(120, 22) << "";
        QTest::newRow("PHN too tall") << P << heightWeight(210, 100) << "altura 210 cm fora de 43-207 cm";
        QTest::newRow("PHN too light") << P << heightWeight(45, 1.8) << "peso 1,8 kg fora de 2-123 kg";
        Body adult = heightWeight(170, 60);
        adult.ageMonths = 19 * 12;
        QTest::newRow("PHN adult") << P << adult << "idade acima dos 18 anos";
        QTest::newRow("Detroit inside") << D << bsaOf(1.45) << "";
        QTest::newRow("Detroit above 1.5") << D << bsaOf(1.6) << "SC 1,60 m² acima de 1,5 m²";
    }
    void aBodyOutsideTheReferencePopulationIsMarked()
    {
        QFETCH(Reference, reference);
        QFETCH(Body, body);
        QFETCH(QString, outside);
        const Normal n = *normalFor(reference, site("anel_ao"), body, {}).normal;
        if (outside.isEmpty())
            QCOMPARE(n.outside, QString());
        else
            QVERIFY2(n.outside.contains(outside), qPrintable(n.outside));
    }

    void whyThereIsNoNormal()
    {
        QVERIFY(normalFor(Reference::Detroit2008, site("anel_p_el"), bsaOf(1), {}).why.contains("anel_p_el"));
        QVERIFY(normalFor(Reference::Phn2017, site("ao"), Body{}, {}).why.contains("Sem peso e altura"));
        QVERIFY(normalFor(Reference::Schneider2005, site("vd"), bsaOf(1), {}).why.contains("idade gestacional"));
        // Grams typed where kilograms go, kilograms where grams go, a BSA no person has.
        QVERIFY(normalFor(Reference::Phn2017, site("ao"), heightWeight(150, 45000), {}).why.contains("peso 45000 kg"));
        QVERIFY(normalFor(Reference::Phn2017, site("ao"), heightWeight(150, 0.05), {}).why.contains("peso 0,05 kg"));
        QVERIFY(normalFor(Reference::Detroit2008, site("ao"), bsaOf(5), {}).why.contains(QString::fromUtf8("SC 5,00 m²")));
    }

    void fractionalShorteningAndTeichholzEjection()
    {
        const auto s = shortening(40.0, 25.0);
        QVERIFY(s);
        QCOMPARE(s->fractional, 37.5);
        QVERIFY(std::abs(s->ejection - 68.112) < 0.001);
        QVERIFY(!shortening(40.0, 40.0));
        QVERIFY(!shortening(40.0, std::nullopt));
    }

    void anExamIsJudgedSiteBySite()
    {
        Values values{{"ved", 40.0}, {"anel_ao", 9.0}, {"fe", 65.0}};
        const Body body = examBody(9000.0, 75.0, 12, values);
        QVERIFY(std::abs(*body.weightKg - 9) < 1e-9);
        const std::vector<Judged> judged = judgeExam(values, body, {});
        QCOMPARE(judged.size(), sites().size() - 1); // all but the gestational age
        auto find = [&](const char* code) {
            return *std::find_if(judged.begin(), judged.end(), [&](const Judged& j) { return j.site == &site(code); });
        };
        QCOMPARE(find("ved").normal->reference, Reference::Detroit2008);
        QVERIFY(find("ved").severity() == 2); // 40 mm at 0.43 m² is far above
        QVERIFY(find("anel_ao").z && find("anel_ao").severity() == 0);
        QVERIFY(!find("fe").z && !find("fe").normal);
        QVERIFY(find("anel_p").normal && !find("anel_p").z); // a normal range without a value
        values.insert("ig", 30.0);
        QVERIFY(examBody({}, {}, {}, values).fetal());
    }

    void numbersAsThePracticeReadsAndTypesThem()
    {
        QCOMPARE(signedDecimal(-1.0077), QString("-1,01"));
        QCOMPARE(signedDecimal(0.9059), QString("+0,91"));
        QCOMPARE(signedDecimal(-0.001), QString("0,00"));
        QCOMPARE(withUnit(8.80, site("anel_p")), QString("8,8 mm"));
        QCOMPARE(withUnit(36 + 6 / 7.0, site("ig")), QString("36+6 semanas"));
        QCOMPARE(parseNumber("8,8"), std::optional(8.8));
        QCOMPARE(parseNumber(" 8.8 "), std::optional(8.8));
        QVERIFY(!parseNumber("8,8 mm"));
        QCOMPARE(parseWeeks("36+6"), std::optional(36 + 6 / 7.0));
        QCOMPARE(parseWeeks("36,5"), std::optional(36.5));
        QVERIFY(!parseWeeks("36+7"));
        QCOMPARE(weeksText(36.99), QString("37+0"));
    }

    // The block the report takes: the body and the references actually used,
    // then the measured sites in the page's order, a z-score outside its
    // reference's population marked and explained once.
    void theReportBlockOfAnExam_data()
    {
        QTest::addColumn<Values>("values");
        QTest::addColumn<Body>("body");
        QTest::addColumn<Practice>("practice");
        QTest::addColumn<QStringList>("expected"); // heading, lines' cells joined by |, notes
        // 16 years, 170 cm, 60 kg: Haycock 1.680 m², DuBois 1.695 m² (by hand).
        Body teenager = heightWeight(170, 60);
        teenager.ageMonths = 16 * 12;
        QTest::newRow("paediatric, BSA by DuBois")
            << Values{{"anel_ao", 21.0}, {"fenc", 35.0}, {"ao", 30.0}, {"canal", 5.0}} << teenager
            << Practice{BsaFormula::DuBois, Reference::Phn2017}
            << QStringList{QString::fromUtf8("Superfície corporal 1,69 m² (DuBois); z-scores: "
                                             "PHN 2017 com SC 1,68 m² (Haycock), Detroit 2008"),
                           // (ln 3.0 - (-0.5 + 2.537 b - 1.707 b² + 0.420 b³)) / sqrt(0.012), b = 1.695
                           "Raiz da aorta (seios de Valsalva)|30 mm|z =|+1,44|*",
                           QString::fromUtf8("Fracção de encurtamento|35 %"),
                           "Anel aórtico|21 mm|z =|+1,00", // (2.1 / sqrt(1.680) - 1.48) / 0.14
                           "Canal arterial (fetal)|5 mm",
                           QString::fromUtf8("* Fora da população do Detroit 2008: SC 1,69 m² acima de 1,5 m², "
                                             "onde as equações deixam de descrever crianças.")};
        QTest::newRow("fetal")
            << Values{{"ig", 36 + 6 / 7.0}, {"anel_p", 8.8}, {"ved", 15.0}, {"siv", 3.0}} << weeks(36 + 6 / 7.0)
            << Practice{}
            << QStringList{QString::fromUtf8("Idade gestacional 36+6 semanas; z-scores: Schneider 2005"),
                           "Septo interventricular (diástole)|3 mm",
                           // (ln 1.5 - (-4.292 + 1.298 ln 36.857)) / 0.156
                           QString::fromUtf8("Ventrículo esquerdo, diástole|15 mm|z =|+0,10"),
                           "Anel pulmonar (eixo curto)|8,8 mm|z =|+0,91"};
        QTest::newRow("no weight") << Values{{"anel_ao", 21.0}} << Body{} << Practice{}
                                   << QStringList{QString::fromUtf8("Superfície corporal: falta o peso ou a altura"),
                                                  QString::fromUtf8("Anel aórtico|21 mm")};
    }
    void theReportBlockOfAnExam()
    {
        QFETCH(Values, values);
        QFETCH(Body, body);
        QFETCH(Practice, practice);
        QFETCH(QStringList, expected);
        const ReportBlock block = reportBlock(values, body, practice);
        QStringList got{block.heading};
        for (const QStringList& cells : block.lines)
            got << cells.join('|');
        got << block.notes;
        QCOMPARE(got, expected);
    }

    void impossibleValuesAreRefused_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("refused");
        QTest::newRow("zero") << "ao" << 0.0 << true;
        QTest::newRow("negative") << "ao" << -3.0 << true;
        QTest::newRow("a diameter of 100 mm") << "ao" << 100.0 << false;
        QTest::newRow("a diameter over 100 mm") << "ao" << 100.5 << true;
        QTest::newRow("a fraction over 100 %") << "fe" << 101.0 << true;
        QTest::newRow("a mitral area of 4 cm²") << "area_vm" << 4.0 << false;
        QTest::newRow("Tac over TEVD above 1") << "tac_tevd" << 1.2 << true;
    }
    void impossibleValuesAreRefused()
    {
        QFETCH(QString, code);
        QFETCH(double, value);
        QFETCH(bool, refused);
        QCOMPARE(refusal(site(qPrintable(code)), value).has_value(), refused);
    }
};

VELUNOR_TEST(TestClinical)
#include "tst_clinical.moc"
