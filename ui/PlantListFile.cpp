#include "ui/PlantListFile.h"

#include <arpa/inet.h>

#include <QCoreApplication>
#include <QFile>

#include <unordered_set>

#include "fleet/Discovery.h"
#include "link/DeviceIdentity.h"
#include "ui/PlantListModel.h"
#include "ui/QtText.h"

namespace mervane {

namespace {

// The context these texts are translated in.
class PlantListFile {
    Q_DECLARE_TR_FUNCTIONS(PlantListFile)
};

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string plantHostsText(const PlantListModel& model) {
    std::string text;
    for (int row = 0; row < model.rowCount(); ++row) {
        text += model.addressText(row).toStdString();
        const DeviceIdentity& identity = model.unit(row).identity;
        if (identity.unitId != kUnitIdUnknown) {
            text += "  # unit " + std::to_string(identity.unitId);
            if (identity.modelIndex != kModelIndexUnknown)
                text += ", " + std::string(modelDisplayName(identity));
        }
        text += '\n';
    }
    return text;
}

PlantFileReading parsePlantHosts(std::string_view text) {
    PlantFileReading reading;
    std::unordered_set<uint32_t> seen;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        in_addr address{};
        const std::string word(line);
        if (word.size() > 15 || inet_pton(AF_INET, word.c_str(), &address) != 1) {
            reading.error = PlantListFile::tr("%1 行目の「%2」は IP アドレスではありません。")
                                .arg(lineNumber)
                                .arg(QString::fromLatin1(word.substr(0, 40)));
            reading.addresses.clear();
            return reading;
        }
        const uint32_t hostOrder = ntohl(address.s_addr);
        if (!seen.insert(hostOrder).second) continue;
        if (reading.addresses.size() == fleet::kMaxDiscoveredUnits) {
            reading.error = PlantListFile::tr("一覧に載せられるのは %1 台までです。")
                                .arg(fleet::kMaxDiscoveredUnits);
            reading.addresses.clear();
            return reading;
        }
        reading.addresses.push_back(hostOrder);
    }
    return reading;
}

PlantFileReading readPlantHostsFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, PlantListFile::tr("ファイルを開けません: %1").arg(path)};
    }
    const QByteArray bytes = file.read(kMaxPlantFileBytes + 1);
    if (bytes.size() > static_cast<qsizetype>(kMaxPlantFileBytes)) {
        return {{}, PlantListFile::tr("ファイルが大きすぎます (1 MiB まで): %1").arg(path)};
    }
    if (file.error() != QFileDevice::NoError) {
        return {{}, PlantListFile::tr("ファイルを読めません: %1").arg(path)};
    }
    return parsePlantHosts(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

}  // namespace mervane
