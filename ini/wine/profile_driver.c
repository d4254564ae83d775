/* Runs a script of INI operations through the Windows profile functions and prints what
 * they give, one line per reading operation. Built with mingw-w64 and run under Wine by
 * scripts/ci/52-ini-wine.sh; rd_ini_wine runs the same script through our reader and
 * compares. Texts in the script and the output are UTF-16 code units in hexadecimal,
 * four digits each, "-" for the empty text.
 *
 *   F path      the file the next operations act on (flushes the previous one)
 *   R sec key   GetPrivateProfileStringW            -> "R <value>" or "R !" (missing)
 *   S           GetPrivateProfileSectionNamesW      -> "S <name>,<name>,..."
 *   K sec       GetPrivateProfileStringW, no key    -> "K <key>,<key>,..."
 *   W sec key v WritePrivateProfileStringW
 *   D sec key   WritePrivateProfileStringW, no value (deletes the key)
 *   E sec       WritePrivateProfileStringW, no key  (erases the section)
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define BIG 65536
static WCHAR file[1024];
static WCHAR buf[BIG];

static int decode(const char* hex, WCHAR* out, int max)
{
    int n = 0;
    if (strcmp(hex, "-") == 0) {
        out[0] = 0;
        return 0;
    }
    while (hex[0] && hex[1] && hex[2] && hex[3] && n < max - 1) {
        unsigned v = 0;
        sscanf(hex, "%4x", &v);
        out[n++] = (WCHAR)v;
        hex += 4;
    }
    out[n] = 0;
    return n;
}

static void put(const WCHAR* s, int n)
{
    int i;
    if (n == 0)
        fputs("-", stdout);
    for (i = 0; i < n; ++i)
        printf("%04X", (unsigned)s[i]);
}

/* A list of NUL-ended names, count units long (an empty name is listed too). */
static void putList(const WCHAR* list, DWORD count)
{
    DWORD at = 0;
    while (at < count) {
        int n = (int)wcslen(list + at);
        if (at)
            fputc(',', stdout);
        put(list + at, n);
        at += (DWORD)n + 1;
    }
}

int main(int argc, char** argv)
{
    static char line[4 * BIG];
    static WCHAR a[BIG], b[BIG], c[BIG];
    FILE* in;
    if (argc < 2 || !(in = fopen(argv[1], "rb")))
        return 2;
    while (fgets(line, sizeof line, in)) {
        char t1[4 * 4096], t2[4 * 4096], t3[4 * 4096], op = line[0];
        t1[0] = t2[0] = t3[0] = 0;
        sscanf(line + 1, "%16383s %16383s %16383s", t1, t2, t3);
        switch (op) {
        case 'F':
            if (file[0])
                WritePrivateProfileStringW(NULL, NULL, NULL, file);
            MultiByteToWideChar(CP_UTF8, 0, t1, -1, file, 1024);
            break;
        case 'R': {
            static const WCHAR missing[] = {1, 2, 3, 0};
            DWORD n;
            decode(t1, a, BIG);
            decode(t2, b, BIG);
            n = GetPrivateProfileStringW(a, b, missing, buf, BIG, file);
            fputs("R ", stdout);
            if (n == 3 && memcmp(buf, missing, 3 * sizeof(WCHAR)) == 0)
                fputs("!", stdout);
            else
                put(buf, (int)n);
            fputc('\n', stdout);
            break;
        }
        case 'S': {
            DWORD n;
            memset(buf, 0, sizeof buf);
            n = GetPrivateProfileSectionNamesW(buf, BIG, file);
            fputs("S ", stdout);
            putList(buf, n);
            fputc('\n', stdout);
            break;
        }
        case 'K': {
            DWORD n;
            memset(buf, 0, sizeof buf);
            decode(t1, a, BIG);
            n = GetPrivateProfileStringW(a, NULL, L"", buf, BIG, file);
            fputs("K ", stdout);
            putList(buf, n);
            fputc('\n', stdout);
            break;
        }
        case 'W':
            decode(t1, a, BIG);
            decode(t2, b, BIG);
            decode(t3, c, BIG);
            WritePrivateProfileStringW(a, b, c, file);
            break;
        case 'D':
            decode(t1, a, BIG);
            decode(t2, b, BIG);
            WritePrivateProfileStringW(a, b, NULL, file);
            break;
        case 'E':
            decode(t1, a, BIG);
            WritePrivateProfileStringW(a, NULL, NULL, file);
            break;
        default:
            break;
        }
    }
    if (file[0])
        WritePrivateProfileStringW(NULL, NULL, NULL, file);
    fflush(stdout);
    return 0;
}
