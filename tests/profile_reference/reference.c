/* Runs a script of profile reads and writes through the Windows functions
 * GetPrivateProfileStringA and WritePrivateProfileStringA, and prints what
 * they answer, so that the record file layer can be held against them.
 *
 *   reference.exe SCRIPT FOLDER
 *
 * SCRIPT has one command a line; every text is UTF-8 in hex, "-" when empty.
 * Texts reach the functions as the program's own do on Windows: converted to
 * the ANSI code page, and the value read converted back.
 *   read FILE SECTION KEY          ->  read VALUE
 *   write FILE SECTION KEY VALUE   ->  write 1 (or 0)
 *   tables                         ->  decode BYTES UNITS, for every single byte and
 *                                      every lead byte with every second byte;
 *                                      encode UNIT BYTES, for every UTF-16 unit
 *   utf8 BYTES                     ->  utf8 UNITS (UTF-8 as the system decodes it)
 * FILE is a name in FOLDER. The first line printed is "acp N", the ANSI code
 * page. */
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kLine = 1 << 20, kText = 1 << 18 };

static void fail(const char *what) {
    fprintf(stderr, "reference: %s\n", what);
    exit(2);
}

static int unhex(const char *hex, char *out, int room) {
    int n = 0;
    if (strcmp(hex, "-") == 0) hex = "";
    for (; hex[0] && hex[1]; hex += 2) {
        unsigned v;
        if (n + 1 >= room || sscanf(hex, "%2x", &v) != 1) fail("bad hex field");
        out[n++] = (char)v;
    }
    out[n] = 0;
    return n;
}

static void hexBytes(const char *s, int n) {
    if (n == 0) fputs("-", stdout);
    for (int i = 0; i < n; i++) printf("%02X", (unsigned char)s[i]);
}

static void hexUnits(const WCHAR *w, int n) {
    if (n == 0) fputs("-", stdout);
    for (int i = 0; i < n; i++) printf("%04X", w[i]);
}

/* UTF-8 script text to ANSI, as the program's runtime converts its strings. */
static void toAnsi(const char *utf8, char *ansi) {
    static WCHAR wide[kText];
    if (!MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, kText)) fail("text too long");
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, kText, NULL, NULL)) fail("text too long");
}

static void tables(void) {
    WCHAR w[4];
    for (int first = 0; first < 256; first++) {
        char b[2] = {(char)first, 0};
        int n = MultiByteToWideChar(CP_ACP, 0, b, 1, w, 4);
        printf("decode %02X ", first), hexUnits(w, n), putchar('\n');
        if (!IsDBCSLeadByte((BYTE)first)) continue;
        for (int second = 0; second < 256; second++) {
            b[1] = (char)second;
            n = MultiByteToWideChar(CP_ACP, 0, b, 2, w, 4);
            printf("decode %02X%02X ", first, second), hexUnits(w, n), putchar('\n');
        }
    }
    for (int unit = 1; unit < 0x10000; unit++) {
        WCHAR u = (WCHAR)unit;
        char out[8];
        int n = WideCharToMultiByte(CP_ACP, 0, &u, 1, out, sizeof out, NULL, NULL);
        printf("encode %04X ", unit), hexBytes(out, n), putchar('\n');
    }
}

int main(int argc, char **argv) {
    static char line[kLine], field[4][kLine], text[3][kText], ansi[3][kText], path[kText], buffer[1024];
    static WCHAR wide[kText];
    char command[16];
    if (argc != 3) fail("usage: reference.exe SCRIPT FOLDER");
    FILE *script = fopen(argv[1], "rb");
    if (!script) fail("cannot open the script");
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, NULL, _IOFBF, 1 << 16);
    printf("acp %u\n", GetACP());
    while (fgets(line, sizeof line, script)) {
        int fields = sscanf(line, "%15s %s %s %s %s", command, field[0], field[1], field[2], field[3]);
        if (fields < 1) continue;
        snprintf(path, sizeof path, "%s\\%s", argv[2], fields > 1 ? field[0] : "");
        for (int i = 0; i + 2 < fields; i++) {
            unhex(field[i + 1], text[i], kText);
            toAnsi(text[i], ansi[i]);
        }
        if (strcmp(command, "read") == 0 && fields == 4) {
            /* A clean buffer each time: where a double-byte character does not
               fit, the functions leave its place in the buffer unwritten. */
            memset(buffer, 0, sizeof buffer);
            GetPrivateProfileStringA(ansi[0], ansi[1], "", buffer, sizeof buffer, path);
            int n = MultiByteToWideChar(CP_ACP, 0, buffer, (int)strnlen(buffer, sizeof buffer), wide, kText);
            static char utf8[kText];
            int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, utf8, kText, NULL, NULL);
            printf("read "), hexBytes(utf8, m), putchar('\n');
        } else if (strcmp(command, "write") == 0 && fields == 5) {
            printf("write %d\n", WritePrivateProfileStringA(ansi[0], ansi[1], ansi[2], path) ? 1 : 0);
        } else if (strcmp(command, "tables") == 0) {
            tables();
        } else if (strcmp(command, "utf8") == 0 && fields == 2) {
            int n = unhex(field[0], text[0], kText);
            int m = n ? MultiByteToWideChar(CP_UTF8, 0, text[0], n, wide, kText) : 0;
            printf("utf8 "), hexUnits(wide, m), putchar('\n');
        } else {
            fail("unknown command");
        }
    }
    fflush(stdout);
    return 0;
}
