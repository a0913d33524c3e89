#include "sound/src/system/system_string.h"

namespace {

int Diff(char a, char b) { return int(static_cast<signed char>(a)) - int(static_cast<signed char>(b)); }

// Compares up to n characters (n < 0: no limit); the first is always compared.
int CompareImpl(const char *a, const char *b, int n, bool foldCase) {
  int i = 0;
  for (;;) {
    char ca = a[i], cb = b[i];
    if (foldCase) {
      ca = SystemString_ToLower(ca);
      cb = SystemString_ToLower(cb);
    }
    if (ca != cb) return Diff(ca, cb);
    if (ca == '\0') return 0;
    ++i;
    if (n >= 0 && i >= n) return 0;
  }
}

}  // namespace

int SystemString_Length(const char *s) {
  int n = 0;
  while (s[n]) ++n;
  return n;
}

char *SystemString_Copy(char *destination, const char *source) {
  int i = 0;
  do {
    destination[i] = source[i];
  } while (source[i++]);
  return destination;
}

char *SystemString_CopyN(char *destination, const char *source, int n) {
  for (int i = 0; i < n; ++i) {
    destination[i] = source[i];
    if (!source[i]) break;
  }
  return destination;
}

char *SystemString_Cat(char *destination, const char *source) {
  SystemString_Copy(destination + SystemString_Length(destination), source);
  return destination;
}

char *SystemString_CatN(char *destination, const char *source, int n) {
  if (n <= 0) return destination;
  char *end = destination + SystemString_Length(destination);
  int i = 0;
  for (; i < n && source[i]; ++i) end[i] = source[i];
  end[i] = '\0';
  return destination;
}

char SystemString_ToLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

int SystemString_Compare(const char *a, const char *b) { return CompareImpl(a, b, -1, false); }

int SystemString_CompareN(const char *a, const char *b, int n) {
  return CompareImpl(a, b, n < 1 ? 1 : n, false);
}

int SystemString_CompareNoCase(const char *a, const char *b) { return CompareImpl(a, b, -1, true); }

int SystemString_CompareNNoCase(const char *a, const char *b, int n) {
  return CompareImpl(a, b, n < 1 ? 1 : n, true);
}

int SystemString_MemCompare(const void *a, const void *b, int n) {
  if (n < 1) return 0;
  const char *pa = static_cast<const char *>(a);
  const char *pb = static_cast<const char *>(b);
  for (int i = 0; i < n - 1; ++i)
    if (pa[i] != pb[i]) return Diff(pa[i], pb[i]);
  return Diff(pa[n - 1], pb[n - 1]);
}

void *SystemString_MemMove(void *destination, const void *source, int n) {
  auto *d = static_cast<unsigned char *>(destination);
  const auto *s = static_cast<const unsigned char *>(source);
  if (d > s) {
    for (int i = n - 1; i >= 0; --i) d[i] = s[i];
  } else {
    for (int i = 0; i < n; ++i) d[i] = s[i];
  }
  return destination;
}

const char *SystemString_Find(const char *haystack, const char *needle) {
  const int hl = SystemString_Length(haystack);
  const int nl = SystemString_Length(needle);
  if (nl == 0) return haystack;
  for (int i = 0; i + nl <= hl; ++i)
    if (SystemString_MemCompare(haystack + i, needle, nl) == 0) return haystack + i;
  return nullptr;
}
