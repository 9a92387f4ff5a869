#pragma once
// DER certificate to the texts the manager shows: the viewer's eight rows,
// common names, and validity times as UTC+8 wall-clock time.
#include <ctime>
#include <string>
#include <vector>

#include <QPair>
#include <QString>
#include <QVector>

#include "x509/MbedCompat13.h"
#include <mbedtls/x509_crt.h>

#include "CommonCertInfo.h"

// Working buffer of every row value and distinguished-name text.
constexpr size_t kCertTextLen = 1024;
// Longest common name GetCertName writes, with its terminator: the smallest
// output buffer callers pass.
constexpr size_t kCertNameOutLen = 260;

// The viewer's table: field name and value of each row, untranslated; none
// for a null record.
QVector<QPair<QString, QString>> certificateTableRows(const _common_cert_info* record);
struct tm getNotBeforTime(x509_crt* crt);
struct tm getNotAfterTime(x509_crt* crt);
int removeChar(char* text, char ch);
// Common name of a distinguished-name text; out holds kCertNameOutLen bytes.
void x509_cn_gets_from_dn2(char* dnText, char* out);

// Field name and value of one viewer row, before translation.
struct CertRow {
    const char* name;
    std::string value;
};
// The viewer's rows of the certificate at der (at most len bytes are read);
// the rows of the empty certificate when it does not parse (*parsed false).
std::vector<CertRow> certificateRowTexts(const unsigned char* der, size_t len, bool* parsed = nullptr);
// The rows as text, one a line: field name, a tab, the value with "\" written
// as "\\" and line feeds as "\n". What `tarnvkey cert` prints.
std::string certificateRowLines(const std::vector<CertRow>& rows);

// A certificate time as UTC+8 wall-clock time, tm_year the full year and
// tm_mon 1-12; all zero when the time is not a calendar time.
struct tm certTimeUtc8(const x509_time& time);
// " 2025-1-1 4:0:0\n" as the viewer shows it.
std::string formatCertTime(const struct tm& t);
// "2025-1-1 4:0:0\n": the time as a bank page gets it ("0-0-0 0:0:0\n" when
// it is not a calendar time).
std::string certTimeTextUtc8(const x509_time& time);
// The serial number in upper-case hexadecimal without ":", as the viewer's
// row and a bank page show it.
std::string certSerialText(const x509_buf& serial);
// GetCertName's work: common names of subject, issuer and subject into the
// non-null outputs (kCertNameOutLen bytes each). 0 for no input, else 1.
short certCommonNames(const unsigned char* der, size_t len, char* subject, char* issuer, char* subject2);
// The common-name rule on a distinguished-name text, into out (outSize bytes).
void commonNameOfDn(const char* dnText, char* out, size_t outSize);
