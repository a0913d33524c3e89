// The engine's byte-string and memory routines. Case folding covers ASCII A-Z only.
#pragma once

int SystemString_Length(const char *s);
char *SystemString_Copy(char *destination, const char *source);
char *SystemString_CopyN(char *destination, const char *source, int n);
char *SystemString_Cat(char *destination, const char *source);
char *SystemString_CatN(char *destination, const char *source, int n);
char SystemString_ToLower(char c);
int SystemString_Compare(const char *a, const char *b);
int SystemString_CompareN(const char *a, const char *b, int n);
int SystemString_CompareNoCase(const char *a, const char *b);
int SystemString_CompareNNoCase(const char *a, const char *b, int n);
int SystemString_MemCompare(const void *a, const void *b, int n);
void *SystemString_MemMove(void *destination, const void *source, int n);
const char *SystemString_Find(const char *haystack, const char *needle);
