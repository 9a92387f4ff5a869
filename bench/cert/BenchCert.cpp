// Decoding all viewer rows of a certificate beside the library's bare parse
// plus one name text of the same certificate (the floor).
#include <benchmark/benchmark.h>

#include <QLoggingCategory>

#include <fstream>
#include <sstream>
#include <string>

#include <mbedtls/x509_crt.h>

#include "certs/CertDecode.h"

namespace {
std::string fixture(const char* name)
{
    std::ifstream in(std::string(ZVIT_CERT_FIXTURE_DIR) + "/" + name + ".der", std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
}

void floorParse(benchmark::State& state, const char* name)
{
    std::string der = fixture(name);
    if (der.empty()) {
        state.SkipWithError("fixture missing");
        return;
    }
    for (auto _ : state) {
        mbedtls_x509_crt crt;
        mbedtls_x509_crt_init(&crt);
        mbedtls_x509_crt_parse_der(&crt, reinterpret_cast<const unsigned char*>(der.data()), der.size());
        char text[1024];
        mbedtls_x509_dn_gets(text, sizeof text, &crt.subject);
        benchmark::DoNotOptimize(text);
        mbedtls_x509_crt_free(&crt);
    }
}

void rows(benchmark::State& state, const char* name)
{
    std::string der = fixture(name);
    if (der.empty()) {
        state.SkipWithError("fixture missing");
        return;
    }
    for (auto _ : state) {
        std::vector<CertRow> result =
            certificateRowTexts(reinterpret_cast<const unsigned char*>(der.data()), der.size());
        benchmark::DoNotOptimize(result.data());
    }
}

// The viewer's path: the rows as Qt strings (debug output off).
void tableRows(benchmark::State& state, const char* name)
{
    std::string der = fixture(name);
    _common_cert_info record = {};
    if (der.empty() || der.size() > sizeof record.certData) {
        state.SkipWithError("fixture missing");
        return;
    }
    std::copy(der.begin(), der.end(), record.certData);
    record.certLen = der.size();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    for (auto _ : state) {
        QVector<QPair<QString, QString>> table = certificateTableRows(&record);
        benchmark::DoNotOptimize(table.data());
    }
}
}  // namespace

BENCHMARK_CAPTURE(floorParse, rsa2048, "rsa2048");
BENCHMARK_CAPTURE(rows, rsa2048, "rsa2048");
BENCHMARK_CAPTURE(tableRows, rsa2048, "rsa2048");
BENCHMARK_CAPTURE(floorParse, ecdsa_p256, "ecdsa-p256");
BENCHMARK_CAPTURE(rows, ecdsa_p256, "ecdsa-p256");
BENCHMARK_CAPTURE(tableRows, ecdsa_p256, "ecdsa-p256");
BENCHMARK_CAPTURE(rows, sm2, "sm2");
BENCHMARK_CAPTURE(tableRows, sm2, "sm2");

BENCHMARK_MAIN();
