#pragma once

#include <QString>

// ZelkGui.ini's [METRICS] section: the live-state endpoint for Prometheus.
// Off unless Listen is set; the command line's --metrics and --bench win.
namespace MetricsKeys {
inline const QString Section = QStringLiteral("METRICS");
// ADDRESS:PORT, or PORT alone for 127.0.0.1; empty or absent: no endpoint.
inline const QString Listen = QStringLiteral("Listen");
// The bench label every series carries, so one Prometheus tells benches apart.
inline const QString Bench = QStringLiteral("Bench");
} // namespace MetricsKeys
