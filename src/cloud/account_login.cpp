#include "cloud/account_login.h"

#include "cloud/exchange.h"
#include "cloud/login_form.h"
#include "cloud/origins.h"
#include "cloud/texts.h"
#include "platform/text_find.h"

namespace qp::cloud {

bool AccountLogin(const Text& username, const Text& password, Text* sessionCookies) {
  Exchange page;
  page.url = Origins().account + "/account.php?action=login&ref=/mydisk.php";
  Text formhash = FormTokenOf(Send(page));

  // Nothing from the login page is carried over: the POST sends no Cookie.
  Text responseCookies;
  Exchange form;
  form.url = Origins().account + "/account.php";
  form.post = true;
  form.bodyText = LoginFormBody(formhash, username, password);
  form.responseCookies = &responseCookies;
  Text answer = Send(form);

  *sessionCookies = responseCookies;
  return text::ContainsText(answer, SystemText("登录成功，欢迎您回来"));
}

}  // namespace qp::cloud
