/*
 * Writes the old-store tables that the import tests read, with Debian's
 * pxlib (package pxlib-dev) as an independent writer, then edits a few bytes
 * by hand where pxlib cannot produce what the old program leaves behind
 * (a record deleted inside a block, blocks chained out of file order).
 *
 *   cc make_tables.c -o /tmp/make_tables -lpx && /tmp/make_tables DIR
 *
 * The generated files are committed beside this source, so the build and
 * the tests never need pxlib.
 */
#include <paradox.h>

#include <iconv.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    const char *name;
    char type;
    int len; /* bytes in the record; blobs include their 10-byte pointer */
} Field;

typedef struct {
    pxdoc_t *px;
    Field *fields;
    int count;
    int offsets[64];
    int recordSize;
    const char *charset; /* iconv name of the table's code page */
    char record[4096];
    char path[512];
} Table;

static void die(const char *what)
{
    fprintf(stderr, "make_tables: %s\n", what);
    exit(1);
}

static void open_table(Table *t, const char *dir, const char *file, Field *fields, int count, const char *charset,
                       int codePage)
{
    pxfield_t *px = calloc(count, sizeof(pxfield_t));
    int at = 0;
    for (int i = 0; i < count; ++i) {
        px[i].px_fname = strdup(fields[i].name);
        px[i].px_ftype = fields[i].type;
        px[i].px_flen = fields[i].len;
        px[i].px_fdc = fields[i].type == pxfBCD ? 2 : 0;
        t->offsets[i] = at;
        at += fields[i].len;
    }
    t->fields = fields;
    t->count = count;
    t->recordSize = at;
    t->charset = charset;
    snprintf(t->path, sizeof t->path, "%s/%s", dir, file);
    t->px = PX_new();
    if (PX_create_file(t->px, px, count, t->path, pxfFileTypNonIndexDB) < 0)
        die(t->path);
    PX_set_parameter(t->px, "tablename", file);
    PX_set_value(t->px, "codepage", codePage);
    char mb[512];
    snprintf(mb, sizeof mb, "%s", t->path);
    strcpy(mb + strlen(mb) - 2, strcmp(file + strlen(file) - 2, "db") == 0 ? "mb" : "MB");
    for (int i = 0; i < count; ++i)
        if (fields[i].type == pxfMemoBLOb || fields[i].type == pxfFmtMemoBLOb || fields[i].type == pxfBLOb) {
            PX_set_blob_file(t->px, mb);
            break;
        }
    memset(t->record, 0, sizeof t->record);
}

static int field(Table *t, const char *name)
{
    for (int i = 0; i < t->count; ++i)
        if (strcmp(t->fields[i].name, name) == 0)
            return i;
    die(name);
    return -1;
}

/* UTF-8 text in the table's code page. */
static int encode(Table *t, const char *utf8, char *out, int room)
{
    iconv_t cd = iconv_open(t->charset, "UTF-8");
    char *in = (char *)utf8, *o = out;
    size_t inLeft = strlen(utf8), outLeft = room;
    if (cd == (iconv_t)-1 || iconv(cd, &in, &inLeft, &o, &outLeft) == (size_t)-1)
        die(utf8);
    iconv_close(cd);
    return room - (int)outLeft;
}

static char *at(Table *t, const char *name) { return t->record + t->offsets[field(t, name)]; }

static void alpha(Table *t, const char *name, const char *utf8)
{
    char buf[1024] = {0};
    int f = field(t, name);
    if (encode(t, utf8, buf, sizeof buf) > t->fields[f].len)
        die(utf8);
    PX_put_data_alpha(t->px, at(t, name), t->fields[f].len, buf);
}

static void memo(Table *t, const char *name, const char *utf8)
{
    static char buf[16384];
    int n = encode(t, utf8, buf, sizeof buf);
    PX_put_data_blob(t->px, at(t, name), t->fields[field(t, name)].len, buf, n);
}

static void number(Table *t, const char *name, double v) { PX_put_data_double(t->px, at(t, name), 8, v); }
static void longint(Table *t, const char *name, int v) { PX_put_data_long(t->px, at(t, name), 4, v); }
static void shortint(Table *t, const char *name, short v) { PX_put_data_short(t->px, at(t, name), 2, v); }
static void logical(Table *t, const char *name, int v) { PX_put_data_byte(t->px, at(t, name), 1, v ? 1 : 0); }

/* Days from 0001-01-01 (day 1), proleptic Gregorian. */
static long days(int y, int m, int d)
{
    y -= m <= 2;
    long era = y / 400, yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 306 + 1; /* 0000-03-01 based, shifted so that 0001-01-01 is 1 */
}

static void date(Table *t, const char *name, int y, int m, int d) { longint(t, name, (int)days(y, m, d)); }

static void stamp(Table *t, const char *name, int y, int mo, int d, int h, int mi, int s, int ms)
{
    number(t, name, (double)days(y, mo, d) * 86400000.0 + ((h * 60 + mi) * 60 + s) * 1000.0 + ms);
}

static void put(Table *t)
{
    if (PX_put_record(t->px, t->record) < 0)
        die("put");
    memset(t->record, 0, sizeof t->record);
}

static void close_table(Table *t) { PX_close(t->px); }

/* Byte edits after pxlib has written a table. */
static FILE *patch_open(Table *t)
{
    FILE *f = fopen(t->path, "r+b");
    if (!f)
        die(t->path);
    return f;
}

static unsigned rd16(FILE *f, long at)
{
    unsigned char b[2];
    fseek(f, at, SEEK_SET);
    if (fread(b, 1, 2, f) != 2)
        die("read");
    return b[0] | b[1] << 8;
}

static void wr16(FILE *f, long at, unsigned v)
{
    unsigned char b[2] = {v & 0xFF, (v >> 8) & 0xFF};
    fseek(f, at, SEEK_SET);
    fwrite(b, 1, 2, f);
}

/* Deletes the record at `index` of block `block` the way the old program
 * does: the records after it move up and the block's count goes down, which
 * leaves a stale copy of the last record past the count. */
static void delete_in_block(Table *t, int block, int index)
{
    FILE *f = patch_open(t);
    unsigned header = rd16(f, 2), blockSize = 1024u * (unsigned char)(rd16(f, 4) >> 8);
    long start = header + (long)(block - 1) * blockSize;
    int last = (short)rd16(f, start + 4);
    int count = last / t->recordSize + 1;
    char *buf = malloc(blockSize);
    fseek(f, start, SEEK_SET);
    if (fread(buf, 1, blockSize, f) != blockSize)
        die("block");
    memmove(buf + 6 + index * t->recordSize, buf + 6 + (index + 1) * t->recordSize,
            (count - index - 1) * t->recordSize);
    fseek(f, start, SEEK_SET);
    fwrite(buf, 1, blockSize, f);
    wr16(f, start + 4, (unsigned)(last - t->recordSize));
    unsigned records = rd16(f, 6);
    wr16(f, 6, records - 1);
    free(buf);
    fclose(f);
}

/* Chains blocks 1, 3, 2, 4, 5, ... so that the chain order is not the order
 * of the file. */
static void swap_blocks_2_and_3(Table *t)
{
    FILE *f = patch_open(t);
    unsigned header = rd16(f, 2), blockSize = 1024u * (unsigned char)(rd16(f, 4) >> 8);
    long b1 = header, b2 = header + blockSize, b3 = header + 2L * blockSize;
    unsigned after3 = rd16(f, b3);
    wr16(f, b1, 3);
    wr16(f, b3, 2);
    wr16(f, b3 + 2, 1);
    wr16(f, b2, after3);
    wr16(f, b2 + 2, 3);
    if (after3)
        wr16(f, header + (long)(after3 - 1) * blockSize + 2, 2);
    fclose(f);
}

/* An RTF report as the old program's editor wrote it: Windows-1252 escapes,
 * one font, 10 pt, the first paragraph bold; `paragraphs` repeats the body to
 * reach a length. */
static const char *rtf(const char *body, int paragraphs)
{
    static char out[16384];
    int n = snprintf(out, sizeof out,
                     "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang2070{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                     "\\viewkind4\\uc1\\pard\\f0\\fs20 ");
    for (int i = 0; i < paragraphs; ++i)
        n += snprintf(out + n, sizeof out - n, "%s%s%s\\par\r\n", i == 0 ? "\\b " : "", body, i == 0 ? "\\b0" : "");
    snprintf(out + n, sizeof out - n, "}\r\n");
    return out;
}

static const char *const kReport =
    "Situs solitus. Concord\\'e2ncia auriculoventricular e ventriculoarterial. Septos \\'edntegros. "
    "Fun\\'e7\\'e3o sist\\'f3lica preservada.";

static void patients(const char *dir)
{
    Field f[] = {
        {"NF", pxfAutoInc, 4},      {"NOME", pxfAlpha, 50},      {"DNASC", pxfTimestamp, 8},
        {"MORADA", pxfAlpha, 80},   {"CPOSTAL", pxfAlpha, 10},   {"CIDADE", pxfAlpha, 40},
        {"NATUR", pxfAlpha, 40},    {"D1CONS", pxfDate, 4},      {"TELEF", pxfAlpha, 20},
        {"PROF", pxfAlpha, 40},     {"ESTADO", pxfAlpha, 15},    {"RECOMEND", pxfAlpha, 50},
        {"BENIFIC", pxfAlpha, 50},  {"IDADE", pxfShort, 2},      {"BENIF", pxfAlpha, 20},
        {"SEXO", pxfAlpha, 1},      {"NCONTRIB", pxfAlpha, 12},  {"NCONS", pxfLong, 4},
        {"PERUTENTE", pxfShort, 2}, {"CENTROS", pxfAlpha, 40},   {"NCENTROS", pxfAlpha, 20},
        {"OBS", pxfMemoBLOb, 30},
    };
    const char *first[] = {"JOÃO", "INÊS", "GONÇALO", "MARIA DA CONCEIÇÃO", "TOMÁS", "LEONOR", "SIMÃO", "ÍRIS"};
    const char *last[] = {"GONÇALVES", "SIMÕES", "ARAÚJO", "D'ÁVILA", "CORREIA", "BRANDÃO"};
    Table t;
    open_table(&t, dir, "BDDID.DB", f, sizeof f / sizeof *f, "CP850", 850);
    for (int nf = 1, n = 0; nf <= 110; ++nf) {
        if (nf % 7 == 0)
            continue; /* numbers that were never used */
        char name[128];
        snprintf(name, sizeof name, "%s %s", first[n % 8], last[n % 6]);
        longint(&t, "NF", nf);
        alpha(&t, "NOME", name);
        if (nf % 5 != 0)
            stamp(&t, "DNASC", 2015 + nf % 10, 1 + nf % 12, 1 + nf % 28, 0, 0, 0, 0);
        alpha(&t, "MORADA", "Rua de Santa Catarina, nº 12, 3º Esq.");
        alpha(&t, "CPOSTAL", "4000-447");
        alpha(&t, "CIDADE", nf % 2 ? "Porto" : "Évora");
        alpha(&t, "NATUR", "Guimarães");
        date(&t, "D1CONS", 2020, 1 + nf % 12, 1 + nf % 27);
        alpha(&t, "TELEF", "912345678");
        alpha(&t, "ESTADO", "Solteiro");
        shortint(&t, "IDADE", (short)(nf % 10));
        alpha(&t, "BENIF", nf % 3 ? "SNS" : "ADSE");
        alpha(&t, "SEXO", nf % 2 ? "M" : "F");
        alpha(&t, "NCONTRIB", "123456789");
        longint(&t, "NCONS", 1000 + nf);
        shortint(&t, "PERUTENTE", (short)(nf % 100));
        alpha(&t, "CENTROS", "Centro de Saúde da Sé");
        if (nf == 1)
            memo(&t, "OBS", "Alergia à penicilina; acompanhado também em Coimbra (Hospital Pediátrico).");
        else if (nf == 2)
            memo(&t, "OBS", "Irmã gémea: ver NF 3.");
        put(&t);
        ++n;
    }
    close_table(&t);
    delete_in_block(&t, 2, 0); /* NF 36 */
    swap_blocks_2_and_3(&t);
}

static void exams(const char *dir)
{
    Field f[] = {
        {"CodigoPaciente", pxfNumber, 8}, {"CodigoExame", pxfTimestamp, 8}, {"DataExame", pxfDate, 4},
        {"Medico", pxfAlpha, 60},        {"Idade", pxfShort, 2},           {"Peso", pxfShort, 2},
        {"Altura", pxfShort, 2},         {"Vd", pxfNumber, 8},             {"Ved", pxfNumber, 8},
        {"Ves", pxfNumber, 8},           {"Fenc", pxfNumber, 8},           {"Fe", pxfNumber, 8},
        {"Pp", pxfNumber, 8},            {"Siv", pxfNumber, 8},            {"Ae", pxfNumber, 8},
        {"Ao", pxfNumber, 8},            {"Gradveaomax", pxfNumber, 8},    {"Gradveaomin", pxfNumber, 8},
        {"Areavm", pxfNumber, 8},        {"Vptac", pxfNumber, 8},          {"Vptactevd", pxfNumber, 8},
        {"ModoD", pxfAlpha, 50},         {"Qte", pxfAlpha, 8},             {"InfoCl", pxfAlpha, 50},
        {"VMGradMx", pxfNumber, 8},      {"VMGradMd", pxfNumber, 8},       {"Executor", pxfNumber, 8},
        {"OrdSeg", pxfLogical, 1},       {"OrdSeg1", pxfMemoBLOb, 11},     {"Dcc", pxfLogical, 1},
        {"Dccae", pxfLogical, 1},        {"Dccad", pxfLogical, 1},         {"Dccvd", pxfLogical, 1},
        {"Dccve", pxfLogical, 1},        {"Vcn", pxfLogical, 1},           {"Vceem", pxfLogical, 1},
        {"Vceea", pxfLogical, 1},        {"Vceep", pxfLogical, 1},         {"Vceet", pxfLogical, 1},
        {"Vcmm", pxfLogical, 1},         {"Vcma", pxfLogical, 1},          {"Vcmp", pxfLogical, 1},
        {"VcmT", pxfLogical, 1},         {"Vc1", pxfMemoBLOb, 11},         {"Cvn", pxfLogical, 1},
        {"Cvd", pxfLogical, 1},          {"Cvm", pxfLogical, 1},           {"Cvc", pxfLogical, 1},
        {"Asd", pxfLogical, 1},          {"Pn", pxfLogical, 1},            {"Pdp", pxfLogical, 1},
        {"Pdm", pxfLogical, 1},          {"Pdg", pxfLogical, 1},           {"Econ", pxfLogical, 1},
        {"Ecoa", pxfLogical, 1},         {"Eco1", pxfMemoBLOb, 250},       {"tecnico", pxfLong, 4},
    };
    Table t;
    open_table(&t, dir, "eco.db", f, sizeof f / sizeof *f, "CP1252", 1252);
    const int patientsWithExams[] = {1, 2, 3, 5, 8, 22, 112};
    for (int p = 0, n = 0; p < 7; ++p) {
        for (int e = 0; e < 3; ++e, ++n) {
            const int nf = patientsWithExams[p];
            number(&t, "CodigoPaciente", nf);
            stamp(&t, "CodigoExame", 2023, 3 + e, 10 + p, 9 + e, 15, 30, 250 + n);
            date(&t, "DataExame", 2023, 3 + e, 10 + p);
            if (n % 2)
                alpha(&t, "Medico", "Dra. Sara Quintela (Obstetrícia)");
            shortint(&t, "Idade", (short)(12 + e));
            shortint(&t, "Peso", (short)(9000 + 250 * e));
            shortint(&t, "Altura", (short)(75 + e));
            number(&t, "Vd", 1.25);
            number(&t, "Fe", 0.0);         /* a value, not an empty field */
            number(&t, "Siv", -0.5);       /* negative values have every bit inverted */
            alpha(&t, "ModoD", e == 2 ? "2" : "1");
            alpha(&t, "Qte", "Boa");
            alpha(&t, "InfoCl", "Sopro sistólico");
            number(&t, "Executor", 1 + n % 3);
            logical(&t, "OrdSeg", n % 2);
            logical(&t, "Dcc", 1);
            logical(&t, "Cvn", 0);
            if (n == 0)
                memo(&t, "OrdSeg1", "Reavaliar após a cirurgia.");
            if (n == 1)
                memo(&t, "Vc1", "Válvulas normais");
            if (n % 4 == 0)
                memo(&t, "Eco1", rtf("Normal.", 1));                   /* kept inside the record */
            else if (n % 4 == 1)
                memo(&t, "Eco1", rtf(kReport, 3));                     /* a shared block of the .MB */
            else if (n % 4 == 2)
                memo(&t, "Eco1", rtf(kReport, 16));                    /* a block of its own */
            else
                memo(&t, "Eco1", "Texto simples de um modelo: Conclusão: normal."); /* not yet edited */
            if (n % 3 == 0)
                longint(&t, "tecnico", 2);
            put(&t);
        }
    }
    close_table(&t);
}

static void phrases(const char *dir)
{
    Field f[] = {{"CodFrase", pxfAutoInc, 4}, {"Frase", pxfAlpha, 200}, {"Outros", pxfAlpha, 200}};
    const char *text[][2] = {
        {"Sem alterações estruturais.", "uso frequente"},
        {"Foramen ovale patente, com pequeno shunt esquerdo-direito.", ""},
        {"Comunicação interventricular perimembranosa restritiva.", "CIV"},
        {"Insuficiência tricúspide mínima, fisiológica.", ""},
    };
    Table t;
    open_table(&t, dir, "FRASE.DB", f, 3, "CP860", 860);
    for (int i = 0; i < 4; ++i) {
        longint(&t, "CodFrase", 1 + 3 * i);
        alpha(&t, "Frase", text[i][0]);
        if (*text[i][1])
            alpha(&t, "Outros", text[i][1]);
        put(&t);
    }
    close_table(&t);
}

static void doctors(const char *dir)
{
    Field f[] = {{"CODIGO", pxfAutoInc, 4}, {"NOME", pxfAlpha, 50}, {"ACTIVO", pxfLogical, 1}};
    const char *names[] = {"Dra. Helena Vasconcelos", "Dr. Rui Albuquerque", "Dra. Teresa Magalhães",
                           "Dr. Joaquim Sampaio"};
    Table t;
    open_table(&t, dir, "medico.DB", f, 3, "CP1252", 1252);
    for (int i = 0; i < 4; ++i) {
        longint(&t, "CODIGO", i + 1);
        alpha(&t, "NOME", names[i]);
        logical(&t, "ACTIVO", i != 3);
        put(&t);
    }
    close_table(&t);
}

static void agreements(const char *dir)
{
    Field f[] = {{"CODIGO", pxfAutoInc, 4}, {"SIGLA", pxfAlpha, 10}, {"ENTIDADE", pxfAlpha, 80},
                 {"ACTIVO", pxfLogical, 1}};
    Table t;
    open_table(&t, dir, "Convencao.db", f, 4, "CP850", 850);
    longint(&t, "CODIGO", 1);
    alpha(&t, "SIGLA", "SNS");
    alpha(&t, "ENTIDADE", "Serviço Nacional de Saúde");
    logical(&t, "ACTIVO", 1);
    put(&t);
    longint(&t, "CODIGO", 4);
    alpha(&t, "SIGLA", "ADSE");
    alpha(&t, "ENTIDADE", "Instituto de Protecção e Assistência na Doença");
    put(&t); /* ACTIVO left empty */
    close_table(&t);
}

static void examTypes(const char *dir)
{
    Field f[] = {{"Id", pxfAutoInc, 4}, {"Tipo", pxfAlpha, 255}, {"Relatorio", pxfFmtMemoBLOb, 60}};
    Table t;
    open_table(&t, dir, "TipoExame.DB", f, 3, "CP1252", 1252);
    longint(&t, "Id", 1);
    alpha(&t, "Tipo", "Ecocardiograma Transtorácico Pediátrico");
    memo(&t, "Relatorio", "Situs solitus. Levocardia.\r\nConcordância auriculoventricular e ventriculoarterial.\r\n"
                          "Septos interauricular e interventricular íntegros.\r\n\r\nConclusão: ");
    put(&t);
    longint(&t, "Id", 2);
    alpha(&t, "Tipo", "Ecocardiograma Fetal");
    memo(&t, "Relatorio", "Feto único.");
    put(&t);
    close_table(&t);
}

/* One field of every type the reader knows, for the reader's own tests. */
static void allTypes(const char *dir)
{
    Field f[] = {
        {"Texto", pxfAlpha, 20},          {"Data", pxfDate, 4},      {"Curto", pxfShort, 2},
        {"Longo", pxfLong, 4},            {"Moeda", pxfCurrency, 8}, {"Numero", pxfNumber, 8},
        {"Logico", pxfLogical, 1},        {"Memo", pxfMemoBLOb, 15}, {"Formatado", pxfFmtMemoBLOb, 15},
        {"Binario", pxfBLOb, 10},         {"Hora", pxfTime, 4},      {"Momento", pxfTimestamp, 8},
        {"Auto", pxfAutoInc, 4},          {"Bytes", pxfBytes, 4},    {"Decimal", pxfBCD, 17},
    };
    Table t;
    open_table(&t, dir, "AllTypes.DB", f, sizeof f / sizeof *f, "CP850", 850);
    alpha(&t, "Texto", "ÁÇÃÕ ãõç ÉÊ");
    date(&t, "Data", 1996, 5, 4);
    shortint(&t, "Curto", 32767);
    longint(&t, "Longo", 2000000000);
    number(&t, "Moeda", 1234.5);
    number(&t, "Numero", 3.25);
    logical(&t, "Logico", 1);
    memo(&t, "Memo", "curto");
    memo(&t, "Formatado", "Um memo formatado com mais de quinze letras.");
    PX_put_data_blob(t.px, at(&t, "Binario"), 10, "\x01\x02\x03", 3);
    longint(&t, "Hora", ((13 * 60 + 45) * 60 + 30) * 1000 + 125);
    stamp(&t, "Momento", 2024, 2, 29, 23, 59, 58, 999);
    longint(&t, "Auto", 7);
    PX_put_data_bytes(t.px, at(&t, "Bytes"), 4, "\xde\xad\xbe\xef");
    PX_put_data_bcd(t.px, at(&t, "Decimal"), 2, "12.34");
    put(&t);
    shortint(&t, "Curto", -32767);
    longint(&t, "Longo", -5);
    number(&t, "Moeda", -0.01);
    number(&t, "Numero", 0.0);
    logical(&t, "Logico", 0);
    date(&t, "Data", 1, 1, 1);
    stamp(&t, "Momento", 1899, 12, 30, 0, 0, 0, 0);
    longint(&t, "Auto", 8);
    put(&t);
    put(&t); /* every field empty */
    close_table(&t);
}

int main(int argc, char **argv)
{
    if (argc != 2)
        die("usage: make_tables DIR");
    PX_boot();
    patients(argv[1]);
    exams(argv[1]);
    phrases(argv[1]);
    doctors(argv[1]);
    agreements(argv[1]);
    examTypes(argv[1]);
    allTypes(argv[1]);
    PX_shutdown();
    return 0;
}
