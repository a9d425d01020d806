<?xml version="1.0" encoding="utf-8"?>
<!--
  rss.xsl: shows a converted feed (Type "rss"), a converted OPML list
  (Type "Opml") or a tree file fetched from the web (Type "url") as a web
  page. The heading links to the channel's site; each TreeNode is one entry
  with its title, date and description (HTML, written out as such). An
  entry that is itself a channel shows its feed address.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="utf-8" indent="no" doctype-system="about:legacy-compat"/>

  <xsl:template match="/">
    <html lang="zh-CN">
      <head>
        <meta charset="utf-8"/>
        <meta http-equiv="Content-Security-Policy"
              content="default-src 'none'; img-src * data:; media-src *; style-src 'unsafe-inline'; font-src *"/>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <title><xsl:call-template name="page-title"/></title>
        <style>
          body { margin: 0; background: #f7f8fa; color: #2b3036;
                 font: 15px/1.65 system-ui, "Noto Sans CJK SC", "Noto Sans SC", "WenQuanYi Micro Hei", sans-serif; }
          main { max-width: 46em; margin: 0 auto; padding: 2em 1.5em 3em; }
          header { margin: 0 0 1.2em; padding-bottom: .5em; border-bottom: 1px solid #dfe3e8; }
          h1 { font-size: 1.5em; font-weight: 600; margin: 0; }
          .source { color: #7d868f; font-size: .85em; overflow-wrap: anywhere; }
          a { color: #1d5a91; text-decoration: none; }
          a:hover { text-decoration: underline; }
          ul.entries { list-style: none; margin: 0; padding: 0; }
          main > ul.entries > li { background: #fff; border: 1px solid #e3e7ec; border-radius: 6px;
                           padding: .7em 1em; margin: 0 0 .8em; }
          ul.entries ul.entries { margin: .4em 0 0 .35em; padding-left: 1.2em; border-left: 2px solid #e3e7ec; }
          ul.entries ul.entries > li { margin: .5em 0; }
          h2 { font-size: 1.08em; font-weight: 600; margin: 0; }
          .date { color: #7d868f; font-size: .85em; }
          .feed { color: #7d868f; font-size: .85em; overflow-wrap: anywhere; }
          .desc { margin: .35em 0 0; color: #3d434a; overflow-wrap: anywhere; }
          .desc ul, .desc ol { margin: .3em 0; padding-left: 1.6em; }
          .desc li { margin: .15em 0; }
          .desc table { border-collapse: collapse; }
          .desc th, .desc td { padding: .15em .8em .15em 0; text-align: left; }
          .desc kbd { font: .85em monospace; padding: 0 .35em; border: 1px solid #c9ced4; border-radius: 3px; background: #fff; }
          .desc > h3:first-child { display: none; }
          .desc h3, .desc h4 { font-size: 1em; margin: .5em 0 .2em; }
          .desc p { margin: .4em 0; }
          .desc img { max-width: 100%; height: auto; }
          .desc pre { white-space: pre-wrap; background: #eef1f4; padding: .5em .7em; border-radius: 4px; }
          .desc blockquote { margin: .4em 0; padding-left: .8em; border-left: 3px solid #dfe3e8; color: #5a6068; }
          .empty { color: #7d868f; }
        </style>
      </head>
      <body>
        <main>
          <header>
            <h1>
              <xsl:choose>
                <xsl:when test="contains(Tree/@Href, '://')">
                  <a href="{Tree/@Href}"><xsl:call-template name="page-title"/></a>
                </xsl:when>
                <xsl:otherwise><xsl:call-template name="page-title"/></xsl:otherwise>
              </xsl:choose>
            </h1>
            <xsl:if test="string(Tree/@BaseURL)">
              <div class="source">来源：<xsl:value-of select="Tree/@BaseURL"/></div>
            </xsl:if>
          </header>
          <xsl:choose>
            <xsl:when test="Tree/TreeNode">
              <ul class="entries"><xsl:apply-templates select="Tree/TreeNode"/></ul>
            </xsl:when>
            <xsl:otherwise><p class="empty">这个频道目前没有内容。</p></xsl:otherwise>
          </xsl:choose>
        </main>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="page-title">
    <xsl:choose>
      <xsl:when test="string(Tree/@Title)"><xsl:value-of select="Tree/@Title"/></xsl:when>
      <xsl:otherwise>万象汇览</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="TreeNode">
    <li>
      <h2>
        <xsl:choose>
          <xsl:when test="string(@Href)">
            <a href="{@Href}"><xsl:value-of select="@Title"/></a>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="@Title"/></xsl:otherwise>
        </xsl:choose>
      </h2>
      <xsl:if test="string(@Date)"><div class="date"><xsl:value-of select="@Date"/></div></xsl:if>
      <xsl:if test="string(@Rss)"><div class="feed">订阅源：<xsl:value-of select="@Rss"/></div></xsl:if>
      <xsl:for-each select="Desc">
        <div class="desc"><xsl:value-of select="." disable-output-escaping="yes"/></div>
      </xsl:for-each>
      <xsl:if test="TreeNode">
        <ul class="entries"><xsl:apply-templates select="TreeNode"/></ul>
      </xsl:if>
    </li>
  </xsl:template>
</xsl:stylesheet>
