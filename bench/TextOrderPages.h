#pragma once

// Pages of prose with known lines, for measuring whether the text layer of a searchable
// document gives the lines back whole and in order: Chinese prose, English prose, and both
// mixed, each line a sentence or part of one as an office letter has them.

#include <QStringList>

namespace TextOrderPages {

inline QStringList chinese()
{
    return {
        QStringLiteral("本合同由甲乙双方在平等自愿的基础上协商订立，"),
        QStringLiteral("双方应当按照约定全面履行各自的义务。"),
        QStringLiteral("乙方应于每月五日前将上月的货款支付给甲方，"),
        QStringLiteral("逾期付款的，每日按未付金额的万分之五支付违约金。"),
        QStringLiteral("甲方交付的货物应当符合国家标准和行业标准，"),
        QStringLiteral("包装应能保证货物在运输途中不受损坏。"),
        QStringLiteral("货物到达后，乙方应在三日内完成验收，"),
        QStringLiteral("发现质量问题的，应当以书面形式通知甲方。"),
        QStringLiteral("因不可抗力不能履行合同的，受影响的一方"),
        QStringLiteral("应及时告知对方，并在十五日内提供证明。"),
        QStringLiteral("本合同履行中发生的争议，由双方友好协商解决；"),
        QStringLiteral("协商不成的，任何一方均可向所在地法院起诉。"),
        QStringLiteral("本合同一式两份，甲乙双方各执一份，"),
        QStringLiteral("自双方签字盖章之日起生效，具有同等法律效力。"),
        QStringLiteral("档案室应当定期检查纸质文件的保存状况，"),
        QStringLiteral("对已经扫描的文件，按年度和类别编号归档。"),
        QStringLiteral("扫描件应与原件内容一致，页码完整，字迹清楚，"),
        QStringLiteral("每份文件的电子版本保存在两个不同的地点。"),
    };
}

inline QStringList english()
{
    return {
        QStringLiteral("This agreement is made between the two parties"),
        QStringLiteral("on equal terms and of their own free will."),
        QStringLiteral("The buyer shall pay for the goods delivered in"),
        QStringLiteral("each month by the fifth day of the next month."),
        QStringLiteral("Goods shall meet the national standards and be"),
        QStringLiteral("packed so that they are not damaged in transit."),
        QStringLiteral("The buyer shall inspect the goods within three"),
        QStringLiteral("days of arrival and report any defect in writing."),
        QStringLiteral("Scanned records are numbered by year and kind,"),
        QStringLiteral("checked against the paper originals page by page,"),
        QStringLiteral("and kept in two places at least five miles apart."),
        QStringLiteral("Either party may end this agreement in writing."),
    };
}

inline QStringList mixed()
{
    return {
        QStringLiteral("发票号码 Invoice No. 20260315，金额 12,800 元。"),
        QStringLiteral("请于 March 31 前付款至 Veldrin 公司账户。"),
        QStringLiteral("联系人 Zhang Wei，电话 010-8888-6666。"),
        QStringLiteral("本文件由 scanner TX7700 扫描，共 3 页。"),
        QStringLiteral("合同编号 HT-2026-0042，签订地点北京。"),
        QStringLiteral("Delivery 交货日期为 2026 年 4 月 10 日。"),
    };
}

} // namespace TextOrderPages
