#include "RaidModel/Interface/Features.h"

#include <cstring>

#include "common/SimpleXmlParser.h"
#include "common/StorDebug.h"
#include "common/StorDebugTracer.h"
#include "common/Writer.h"

const char* const FeatureStrings[featMaxIndex + 1] = {
    "featRaid0",  // 0
    "featRaid1",  // 1
    "featRaid4",  // 2
    "featRaid5",  // 3
    "featRaid10",  // 4
    "featRaid50",  // 5
    "featRaid5EE",  // 6
    "featRaid1E",  // 7
    "featRaid6",  // 8
    "featUltra160Scsi",  // 9
    "featUltra320Scsi",  // 10
    "featSimpleVolume",  // 11
    "featSpannedVolume",  // 12
    "featQuickInit",  // 13
    "featBuildClear",  // 14
    "featBuildNormal",  // 15
    "featEnableHDDCache",  // 16
    "featSATA150",  // 17
    "featDDFCoercion",  // 18
    "featDataScrubbing",  // 19
    "featAutoRebuild",  // 20
    "featFlashBios",  // 21
    "featDownDrive",  // 22
    "featClustering",  // 23
    "featMigrate",  // 24
    "featSnapshot",  // 25
    "featReadCacheChangeable",  // 26
    "featCacheSupport",  // 27
    "featExpand",  // 28
    "featExpandRaid0",  // 29
    "featExpandRaid5",  // 30
    "featMorphRaid0ToRaid0",  // 31
    "featMorphRaid0ToRaid10",  // 32
    "featMorphRaid0ToRaid5",  // 33
    "featMorphRaid1ToRaid0",  // 34
    "featMorphRaid1ToRaid10",  // 35
    "featMorphRaid1ToRaid5",  // 36
    "featMorphRaid5ToRaid0",  // 37
    "featMorphRaid5ToRaid10",  // 38
    "featMorphRaid5ToRaid5",  // 39
    "featCopyBack",  // 40
    "featMixedArrays",  // 41
    "featSasProtectSataArrays",  // 42
    "featSataProtectSasArrays",  // 43
    "featRaid60",  // 44
    "feat64BitLBA",  // 45
    "featSecureErase",  // 46
    "featHeatSensor",  // 47
    "featRaidVolume",  // 48
    "featExpandRaid1",  // 49
    "featExpandRaid1E",  // 50
    "featExpandRaid5EE",  // 51
    "featExpandRaid6",  // 52
    "featExpandRaid10",  // 53
    "featExpandRaid50",  // 54
    "featExpandRaid60",  // 55
    "featExpandSpannedVolume",  // 56
    "featExpandRaidVolume",  // 57
    "featExpandSimpleVolume",  // 58
    "featMorphRaid0ToRaid1",  // 59
    "featMorphRaid0ToRaid1E",  // 60
    "featMorphRaid0ToRaid5EE",  // 61
    "featMorphRaid0ToRaid6",  // 62
    "featMorphRaid0ToRaid50",  // 63
    "featMorphRaid0ToRaid60",  // 64
    "featMorphRaid0ToSpannedVolume",  // 65
    "featMorphRaid0ToRaidVolume",  // 66
    "featMorphRaid0ToSimpleVolume",  // 67
    "featMorphRaid1ToRaid1",  // 68
    "featMorphRaid1ToRaid1E",  // 69
    "featMorphRaid1ToRaid5EE",  // 70
    "featMorphRaid1ToRaid6",  // 71
    "featMorphRaid1ToRaid50",  // 72
    "featMorphRaid1ToRaid60",  // 73
    "featMorphRaid1ToSpannedVolume",  // 74
    "featMorphRaid1ToRaidVolume",  // 75
    "featMorphRaid1ToSimpleVolume",  // 76
    "featMorphRaid1EToRaid0",  // 77
    "featMorphRaid1EToRaid1",  // 78
    "featMorphRaid1EToRaid1E",  // 79
    "featMorphRaid1EToRaid5",  // 80
    "featMorphRaid1EToRaid5EE",  // 81
    "featMorphRaid1EToRaid6",  // 82
    "featMorphRaid1EToRaid10",  // 83
    "featMorphRaid1EToRaid50",  // 84
    "featMorphRaid1EToRaid60",  // 85
    "featMorphRaid1EToSpannedVolume",  // 86
    "featMorphRaid1EToRaidVolume",  // 87
    "featMorphRaid1EToSimpleVolume",  // 88
    "featMorphRaid5ToRaid1",  // 89
    "featMorphRaid5ToRaid1E",  // 90
    "featMorphRaid5ToRaid5EE",  // 91
    "featMorphRaid5ToRaid6",  // 92
    "featMorphRaid5ToRaid50",  // 93
    "featMorphRaid5ToRaid60",  // 94
    "featMorphRaid5ToSpannedVolume",  // 95
    "featMorphRaid5ToRaidVolume",  // 96
    "featMorphRaid5ToSimpleVolume",  // 97
    "featMorphRaid5EEToRaid0",  // 98
    "featMorphRaid5EEToRaid1",  // 99
    "featMorphRaid5EEToRaid1E",  // 100
    "featMorphRaid5EEToRaid5",  // 101
    "featMorphRaid5EEToRaid5EE",  // 102
    "featMorphRaid5EEToRaid6",  // 103
    "featMorphRaid5EEToRaid10",  // 104
    "featMorphRaid5EEToRaid50",  // 105
    "featMorphRaid5EEToRaid60",  // 106
    "featMorphRaid5EEToSpannedVolume",  // 107
    "featMorphRaid5EEToRaidVolume",  // 108
    "featMorphRaid5EEToSimpleVolume",  // 109
    "featMorphRaid6ToRaid0",  // 110
    "featMorphRaid6ToRaid1",  // 111
    "featMorphRaid6ToRaid1E",  // 112
    "featMorphRaid6ToRaid5",  // 113
    "featMorphRaid6ToRaid5EE",  // 114
    "featMorphRaid6ToRaid6",  // 115
    "featMorphRaid6ToRaid10",  // 116
    "featMorphRaid6ToRaid50",  // 117
    "featMorphRaid6ToRaid60",  // 118
    "featMorphRaid6ToSpannedVolume",  // 119
    "featMorphRaid6ToRaidVolume",  // 120
    "featMorphRaid6ToSimpleVolume",  // 121
    "featMorphRaid10ToRaid0",  // 122
    "featMorphRaid10ToRaid1",  // 123
    "featMorphRaid10ToRaid1E",  // 124
    "featMorphRaid10ToRaid5",  // 125
    "featMorphRaid10ToRaid5EE",  // 126
    "featMorphRaid10ToRaid6",  // 127
    "featMorphRaid10ToRaid10",  // 128
    "featMorphRaid10ToRaid50",  // 129
    "featMorphRaid10ToRaid60",  // 130
    "featMorphRaid10ToSpannedVolume",  // 131
    "featMorphRaid10ToRaidVolume",  // 132
    "featMorphRaid10ToSimpleVolume",  // 133
    "featMorphRaid50ToRaid0",  // 134
    "featMorphRaid50ToRaid1",  // 135
    "featMorphRaid50ToRaid1E",  // 136
    "featMorphRaid50ToRaid5",  // 137
    "featMorphRaid50ToRaid5EE",  // 138
    "featMorphRaid50ToRaid6",  // 139
    "featMorphRaid50ToRaid10",  // 140
    "featMorphRaid50ToRaid50",  // 141
    "featMorphRaid50ToRaid60",  // 142
    "featMorphRaid50ToSpannedVolume",  // 143
    "featMorphRaid50ToRaidVolume",  // 144
    "featMorphRaid50ToSimpleVolume",  // 145
    "featMorphRaid60ToRaid0",  // 146
    "featMorphRaid60ToRaid1",  // 147
    "featMorphRaid60ToRaid1E",  // 148
    "featMorphRaid60ToRaid5",  // 149
    "featMorphRaid60ToRaid5EE",  // 150
    "featMorphRaid60ToRaid6",  // 151
    "featMorphRaid60ToRaid10",  // 152
    "featMorphRaid60ToRaid50",  // 153
    "featMorphRaid60ToRaid60",  // 154
    "featMorphRaid60ToSpannedVolume",  // 155
    "featMorphRaid60ToRaidVolume",  // 156
    "featMorphRaid60ToSimpleVolume",  // 157
    "featMorphSpannedVolumeToRaid0",  // 158
    "featMorphSpannedVolumeToRaid1",  // 159
    "featMorphSpannedVolumeToRaid1E",  // 160
    "featMorphSpannedVolumeToRaid5",  // 161
    "featMorphSpannedVolumeToRaid5EE",  // 162
    "featMorphSpannedVolumeToRaid6",  // 163
    "featMorphSpannedVolumeToRaid10",  // 164
    "featMorphSpannedVolumeToRaid50",  // 165
    "featMorphSpannedVolumeToRaid60",  // 166
    "featMorphSpannedVolumeToSpannedVolume",  // 167
    "featMorphSpannedVolumeToRaidVolume",  // 168
    "featMorphSpannedVolumeToSimpleVolume",  // 169
    "featMorphRaidVolumeToRaid0",  // 170
    "featMorphRaidVolumeToRaid1",  // 171
    "featMorphRaidVolumeToRaid1E",  // 172
    "featMorphRaidVolumeToRaid5",  // 173
    "featMorphRaidVolumeToRaid5EE",  // 174
    "featMorphRaidVolumeToRaid6",  // 175
    "featMorphRaidVolumeToRaid10",  // 176
    "featMorphRaidVolumeToRaid50",  // 177
    "featMorphRaidVolumeToRaid60",  // 178
    "featMorphRaidVolumeToSpannedVolume",  // 179
    "featMorphRaidVolumeToRaidVolume",  // 180
    "featMorphRaidVolumeToSimpleVolume",  // 181
    "featMorphSimpleVolumeToRaid0",  // 182
    "featMorphSimpleVolumeToRaid1",  // 183
    "featMorphSimpleVolumeToRaid1E",  // 184
    "featMorphSimpleVolumeToRaid5",  // 185
    "featMorphSimpleVolumeToRaid5EE",  // 186
    "featMorphSimpleVolumeToRaid6",  // 187
    "featMorphSimpleVolumeToRaid10",  // 188
    "featMorphSimpleVolumeToRaid50",  // 189
    "featMorphSimpleVolumeToRaid60",  // 190
    "featMorphSimpleVolumeToSpannedVolume",  // 191
    "featMorphSimpleVolumeToRaidVolume",  // 192
    "featMorphSimpleVolumeToSimpleVolume",  // 193
    "featFastInit",  // 194
    "featLongSerialNumber",  // 195
    nullptr,  // 196: no feature has this number
    "featMarkArrayBootable",  // 197
    "featReactivateArray",  // 198
    "featPersistentEventLog",  // 199
    "featBkgrndScrubInDays",  // 200
    "featMonitorArchive",  // 201
    "featForceOnline",  // 202
    "featNoBuild",  // 203
    "featRaid6RS",  // 204
    "featRaid60RS",  // 205
    "featExpandRaid6RS",  // 206
    "featExpandRaid60RS",  // 207
    "featMorphRaid0ToRaid6RS",  // 208
    "featMorphRaid0ToRaid60RS",  // 209
    "featMorphRaid1ToRaid6RS",  // 210
    "featMorphRaid1ToRaid60RS",  // 211
    "featMorphRaid1EToRaid6RS",  // 212
    "featMorphRaid1EToRaid60RS",  // 213
    "featMorphRaid5ToRaid6RS",  // 214
    "featMorphRaid5ToRaid60RS",  // 215
    "featMorphRaid5EEToRaid6RS",  // 216
    "featMorphRaid5EEToRaid60RS",  // 217
    "featMorphRaid6ToRaid6RS",  // 218
    "featMorphRaid6ToRaid60RS",  // 219
    "featMorphRaid10ToRaid6RS",  // 220
    "featMorphRaid10ToRaid60RS",  // 221
    "featMorphRaid50ToRaid6RS",  // 222
    "featMorphRaid50ToRaid60RS",  // 223
    "featMorphRaid60ToRaid6RS",  // 224
    "featMorphRaid60ToRaid60RS",  // 225
    "featMorphSpannedVolumeToRaid6RS",  // 226
    "featMorphSpannedVolumeToRaid60RS",  // 227
    "featMorphRaidVolumeToRaid6RS",  // 228
    "featMorphRaidVolumeToRaid60RS",  // 229
    "featMorphSimpleVolumeToRaid6RS",  // 230
    "featMorphSimpleVolumeToRaid60RS",  // 231
    "featMorphRaid6RSToRaid0",  // 232
    "featMorphRaid6RSToRaid1",  // 233
    "featMorphRaid6RSToRaid1E",  // 234
    "featMorphRaid6RSToRaid5",  // 235
    "featMorphRaid6RSToRaid5EE",  // 236
    "featMorphRaid6RSToRaid6",  // 237
    "featMorphRaid6RSToRaid6RS",  // 238
    "featMorphRaid6RSToRaid10",  // 239
    "featMorphRaid6RSToRaid50",  // 240
    "featMorphRaid6RSToRaid60",  // 241
    "featMorphRaid6RSToRaid60RS",  // 242
    "featMorphRaid6RSToSpannedVolume",  // 243
    "featMorphRaid6RSToRaidVolume",  // 244
    "featMorphRaid6RSToSimpleVolume",  // 245
    "featMorphRaid60RSToRaid0",  // 246
    "featMorphRaid60RSToRaid1",  // 247
    "featMorphRaid60RSToRaid1E",  // 248
    "featMorphRaid60RSToRaid5",  // 249
    "featMorphRaid60RSToRaid5EE",  // 250
    "featMorphRaid60RSToRaid6",  // 251
    "featMorphRaid60RSToRaid6RS",  // 252
    "featMorphRaid60RSToRaid10",  // 253
    "featMorphRaid60RSToRaid50",  // 254
    "featMorphRaid60RSToRaid60",  // 255
    "featMorphRaid60RSToRaid60RS",  // 256
    "featMorphRaid60RSToSpannedVolume",  // 257
    "featMorphRaid60RSToRaidVolume",  // 258
    "featMorphRaid60RSToSimpleVolume",  // 259
    "featDefaultLDTaskPriority",  // 260
    "featPerformanceMode",  // 261
    "featFWRawBlink",  // 262
    "featATAPassThru",  // 263
    "featJBOD",  // 264
    "featJBODDriver",  // 265
    "featAdapterStats",  // 266
    "featPowerManagement",  // 267
    "featMultiInit",  // 268
    "featProtectUnprotect",  // 269
    "featOrvexaSupport",  // 270
    "featSecondGenExpander",  // 271
    "featOrvexaFlushAndFetchRate",  // 272
    "featAdapterStatsDataCollectionMode",  // 273
    "featAdapterStatsResetCounters",  // 274
    "featOrvexaRWFactor",  // 275
    "featOrvexaWriteCacheSupport",  // 276
    "featMaxIndex",  // 277
};

namespace {

bool validFeature(FeatureEnum feature)
{
    return feature >= 0 && feature < featMaxIndex;
}

// Features that saved configurations restore; the others are written for
// reports only and keep what the controller said.
struct FeatureRange {
    int first;
    int last;
};

constexpr FeatureRange kReadBack[] = {
    {0, 1},     {3, 8},     {11, 16},   {23, 23},   {25, 27},   {29, 90},
    {92, 101},  {103, 113}, {115, 195}, {200, 200}, {260, 261}, {263, 276},
};

// Older configurations named these two differently; both spellings restore.
struct FeatureAlias {
    FeatureEnum feature;
    const char* legacyName;
};

constexpr FeatureAlias kAliases[] = {
    {featQuickInit, "featBuildQuick"},
    {featCopyBack, "featCopyback"},
};

}  // namespace

AdapterFeatures::AdapterFeatures() : values{}
{
    StorDebugTracer trace(getStorLibType(), STOR_DEBUG_TRACE_CORE_CONSTRUCT,
                          "AdapterFeatures::AdapterFeatures()");
    setAll(0);
}

AdapterFeatures::AdapterFeatures(const AdapterFeatures& other) : RaidObject(other)
{
    std::memcpy(values, other.values, sizeof(values));
}

AdapterFeatures::~AdapterFeatures() = default;

bool AdapterFeatures::isInstanceOf(const char* name) const
{
    if (name != nullptr && std::strcmp(name, "AdapterFeatures") == 0) {
        return true;
    }
    return RaidObject::isInstanceOf(name);
}

const char* AdapterFeatures::typeName() const
{
    return "AdapterFeatures";
}

const char* AdapterFeatures::serializedName() const
{
    return "AdapterFeatures";
}

void AdapterFeatures::writeTo(Writer* writer) const
{
    for (int f = 0; f < featMaxIndex; ++f) {
        if (values[f] != 0 && FeatureStrings[f] != nullptr) {
            writer->writeInt(FeatureStrings[f], values[f]);
        }
    }
}

void AdapterFeatures::setFeature(FeatureEnum feature, int value)
{
    if (validFeature(feature)) {
        values[feature] = value;
    }
}

int AdapterFeatures::getFeature(FeatureEnum feature) const
{
    return validFeature(feature) ? values[feature] : 0;
}

void AdapterFeatures::setAll(int value)
{
    for (int f = 0; f < featMaxIndex; ++f) {
        setFeature(static_cast<FeatureEnum>(f), value);
    }
}

void AdapterFeatures::initFromXML(XmlAttributeList_C& attributes)
{
    for (const FeatureRange& range : kReadBack) {
        for (int f = range.first; f <= range.last; ++f) {
            const char* name = FeatureStrings[f];
            if (name != nullptr && attributes.Exists(name)) {
                setFeature(static_cast<FeatureEnum>(f), static_cast<int>(attributes.GetLong(name)));
            }
        }
    }
    for (const FeatureAlias& alias : kAliases) {
        if (attributes.Exists(alias.legacyName) && !attributes.Exists(FeatureStrings[alias.feature])) {
            setFeature(alias.feature, static_cast<int>(attributes.GetLong(alias.legacyName)));
        }
    }
}
