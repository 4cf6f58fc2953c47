#include "tests/kpub/text_corpus.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <iconv.h>

namespace corpus {

const std::vector<std::string>& Simplified() {
  static const std::vector<std::string> kText = {
      "中国是世界上历史最悠久的国家之一，有着五千年的文明史。人民勤劳勇敢，创造了灿烂的文化，"
      "也为人类的进步做出了重要的贡献。",
      "今天的天气很好，我们一起去公园散步。公园里有很多人，有的在跑步，有的在下棋，"
      "还有的在唱歌跳舞，大家都很开心。",
      "这个城市的经济发展很快，新的高楼一座接一座地建起来。政府提出了新的计划，"
      "要让更多的人过上好日子，孩子们都能上学。",
      "学校的图书馆里有很多书，学生们每天都在那里学习。老师说，读书是一件快乐的事情，"
      "也是一个人一生的事业。",
      "科学技术是第一生产力。近年来，我国在信息技术、人工智能和新能源方面取得了重要的成果，"
      "这些成果改变了我们的生活。",
      "他说：“我们不能只看眼前的利益，还要为子孙后代着想。”大家听了以后都觉得很有道理，"
      "于是决定一起保护这里的山和水。",
  };
  return kText;
}

const std::vector<std::string>& Traditional() {
  static const std::vector<std::string> kText = {
      "中國是世界上歷史最悠久的國家之一，有著五千年的文明史。人民勤勞勇敢，創造了燦爛的文化，"
      "也為人類的進步做出了重要的貢獻。",
      "今天的天氣很好，我們一起去公園散步。公園裡有很多人，有的在跑步，有的在下棋，"
      "還有的在唱歌跳舞，大家都很開心。",
      "這個城市的經濟發展很快，新的高樓一座接一座地建起來。政府提出了新的計劃，"
      "要讓更多的人過上好日子，孩子們都能上學。",
      "學校的圖書館裡有很多書，學生們每天都在那裡學習。老師說，讀書是一件快樂的事情，"
      "也是一個人一生的事業。",
      "科學技術是第一生產力。近年來，我國在信息技術、人工智能和新能源方面取得了重要的成果，"
      "這些成果改變了我們的生活。",
      "他說：“我們不能只看眼前的利益，還要為子孫後代著想。”大家聽了以後都覺得很有道理，"
      "於是決定一起保護這裡的山和水。",
  };
  return kText;
}

const std::string& Japanese() {
  static const std::string kText =
      "今日はとても良い天気です。私たちは公園へ散歩に行きました。子供たちは楽しそうに遊んでいて、"
      "お年寄りはベンチで話をしていました。日本の文化はとても面白いと思います。";
  return kText;
}

const std::string& Korean() {
  static const std::string kText =
      "오늘은 날씨가 아주 좋습니다. 우리는 공원에 산책하러 갔습니다. 아이들은 즐겁게 놀고 "
      "있었고 어른들은 벤치에 앉아 이야기를 나누었습니다. 한국의 문화는 정말 재미있습니다.";
  return kText;
}

const std::string& Russian() {
  static const std::string kText =
      "Сегодня очень хорошая погода. Мы пошли гулять в парк. Дети весело играли, а взрослые "
      "сидели на скамейках и разговаривали. Русская культура очень интересная.";
  return kText;
}

const std::string& French() {
  static const std::string kText =
      "Aujourd'hui, il fait très beau. Nous sommes allés nous promener au parc. Les enfants "
      "jouaient gaiement et les personnes âgées étaient assises sur les bancs. La culture "
      "française est très intéressante, déclare l'élève.";
  return kText;
}

std::string Iconv(const std::string& from, const std::string& to, const std::string& text) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    ADD_FAILURE() << "iconv_open " << from << " -> " << to;
    return "";
  }
  std::string out(4 * text.size() + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inleft = text.size();
  char* op = &out[0];
  size_t outleft = out.size();
  size_t r = iconv(cd, &in, &inleft, &op, &outleft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) {
    ADD_FAILURE() << "iconv " << from << " -> " << to << " errno " << errno;
    return "";
  }
  out.resize(out.size() - outleft);
  return out;
}

std::string Page(const std::string& head, const std::string& body) {
  return "<!DOCTYPE html>\n<html>\n<head>\n" + head +
         "\n<title>page</title>\n</head>\n<body>\n<div class=\"main\">\n<p>" + body +
         "</p>\n</div>\n</body>\n</html>\n";
}

}  // namespace corpus
