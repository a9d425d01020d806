<?xml version="1.0" encoding="utf-8"?>
<!--
  fav.xsl: shows a Kelvor tree file (a favourites category, the master
  index, a plain tree file or an imported Favorites folder) as a web page.
  One entry per TreeNode, nested TreeNodes as nested lists. The description
  (the Desc element that is the first child of a TreeNode) is HTML and is
  written out as such.
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
          h1 { font-size: 1.5em; font-weight: 600; margin: 0 0 1em; padding-bottom: .4em;
               border-bottom: 1px solid #dfe3e8; }
          a { color: #1d5a91; text-decoration: none; }
          a:hover { text-decoration: underline; }
          ul.entries { list-style: none; margin: 0; padding: 0; }
          ul.entries ul.entries { margin: .3em 0 .2em .35em; padding-left: 1.2em; border-left: 2px solid #e3e7ec; }
          ul.entries > li { margin: .55em 0; }
          .name { font-weight: 600; }
          .folder > .name { color: #6a4a0c; }
          .tag { display: inline-block; margin-left: .5em; padding: 0 .45em; border-radius: 3px;
                 font-size: .75em; font-weight: normal; line-height: 1.6; vertical-align: .1em;
                 background: #eaf1f8; color: #4a6a8a; }
          .date { margin-left: .6em; color: #7d868f; font-size: .85em; }
          .desc { margin: .2em 0 .4em; color: #4a5058; font-size: .95em; overflow-wrap: anywhere; }
          .desc ul, .desc ol { margin: .3em 0; padding-left: 1.6em; }
          .desc li { margin: .15em 0; }
          .desc table { border-collapse: collapse; }
          .desc th, .desc td { padding: .15em .8em .15em 0; text-align: left; }
          .desc kbd { font: .85em monospace; padding: 0 .35em; border: 1px solid #c9ced4; border-radius: 3px; background: #fff; }
          .desc > h3:first-child { display: none; }
          .desc h3, .desc h4 { font-size: 1em; margin: .5em 0 .2em; }
          .desc p { margin: .3em 0; }
          .desc img { max-width: 100%; height: auto; }
          .desc pre { white-space: pre-wrap; background: #eef1f4; padding: .5em .7em; border-radius: 4px; }
          .empty { color: #7d868f; }
        </style>
      </head>
      <body>
        <main>
          <h1><xsl:call-template name="page-title"/></h1>
          <xsl:choose>
            <xsl:when test="Tree/TreeNode">
              <ul class="entries"><xsl:apply-templates select="Tree/TreeNode"/></ul>
            </xsl:when>
            <xsl:otherwise><p class="empty">这里还没有项目。</p></xsl:otherwise>
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
      <xsl:if test="TreeNode"><xsl:attribute name="class">folder</xsl:attribute></xsl:if>
      <span class="name">
        <xsl:choose>
          <xsl:when test="string(@Href)">
            <a href="{@Href}"><xsl:value-of select="@Title"/></a>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="@Title"/></xsl:otherwise>
        </xsl:choose>
      </span>
      <xsl:choose>
        <xsl:when test="@Rss"><span class="tag">频道</span></xsl:when>
        <xsl:when test="@NodeSrc"><span class="tag">目录</span></xsl:when>
      </xsl:choose>
      <xsl:if test="string(@Date)"><span class="date"><xsl:value-of select="@Date"/></span></xsl:if>
      <xsl:if test="string(*[1][self::Desc])">
        <div class="desc"><xsl:value-of select="*[1][self::Desc]" disable-output-escaping="yes"/></div>
      </xsl:if>
      <xsl:if test="TreeNode">
        <ul class="entries"><xsl:apply-templates select="TreeNode"/></ul>
      </xsl:if>
    </li>
  </xsl:template>
</xsl:stylesheet>
