#pragma once

#include <QString>

// The vendor's company and contact data, shown on the guide page. The QR codes in the bundle
// (packaging/BundleImages.cmake) point at the same site.
inline const QString companyName = QStringLiteral("科凡塔（杭州）医疗数据科技有限公司");
inline const QString companyShortName = QStringLiteral("科凡塔");
inline const QString companyWebsite = QStringLiteral("https://www.corvanta-data.cn");
inline const QString businessWechat = QStringLiteral("corvanta_bd");
inline const QString businessPhone = QStringLiteral("0571-8692 4170");
inline const QString businessEmail = QStringLiteral("bd@corvanta-data.cn");
inline const QString officialAccount = QStringLiteral("科凡塔医疗数据");
